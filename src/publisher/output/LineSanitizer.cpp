#include "publisher/output/LineSanitizer.h"

namespace {

bool IsHighSurrogate(wchar_t ch) noexcept { return ch >= 0xD800 && ch <= 0xDBFF; }
bool IsLowSurrogate(wchar_t ch) noexcept { return ch >= 0xDC00 && ch <= 0xDFFF; }

bool IsUnsafe(wchar_t ch) noexcept {
  return ch < 0x20 || (ch >= 0x7F && ch <= 0x9F) || ch == 0x2028 || ch == 0x2029 ||
         (ch >= 0x202A && ch <= 0x202E) || (ch >= 0x2066 && ch <= 0x2069);
}

}  // namespace

std::wstring SanitizeConsoleLine(std::wstring_view line, std::size_t cchMax) {
  constexpr std::wstring_view kCut = L"...";
  if (cchMax < kCut.size() + 1) {
    cchMax = kCut.size() + 1;
  }
  const bool bCut = line.size() > cchMax;
  std::size_t nKeep = bCut ? cchMax - kCut.size() : line.size();
  if (bCut && IsHighSurrogate(line[nKeep - 1]) && IsLowSurrogate(line[nKeep])) {
    --nKeep;
  }

  std::wstring text;
  text.reserve(nKeep + (bCut ? kCut.size() : 0));
  for (std::size_t i = 0; i < nKeep; ++i) {
    const wchar_t ch = line[i];
    if (IsHighSurrogate(ch) && i + 1 < nKeep && IsLowSurrogate(line[i + 1])) {
      text.push_back(ch);
      text.push_back(line[++i]);
      continue;
    }
    const bool bLoneSurrogate = IsHighSurrogate(ch) || IsLowSurrogate(ch);
    text.push_back(IsUnsafe(ch) || bLoneSurrogate ? kReplacedCharacter : ch);
  }
  if (bCut) {
    text += kCut;
  }
  return text;
}
