// The console sanitiser, through which every line with words from the
// network passes: whatever comes in, no control character, line or paragraph
// separator, bidirectional override or lone surrogate comes out, the length
// cap holds, and text with nothing to replace passes unchanged.
//
// Input: the cap (2 bytes), then the text as UTF-8 (see FuzzInput.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "publisher/output/LineSanitizer.h"
#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"

namespace {

bool IsHigh(wchar_t ch) { return ch >= 0xD800 && ch <= 0xDBFF; }
bool IsLow(wchar_t ch) { return ch >= 0xDC00 && ch <= 0xDFFF; }

bool IsUnsafe(wchar_t ch) {
  return ch < 0x20 || (ch >= 0x7F && ch <= 0x9F) || ch == 0x2028 || ch == 0x2029 ||
         (ch >= 0x202A && ch <= 0x202E) || (ch >= 0x2066 && ch <= 0x2069);
}

// Every surrogate in a pair, every character safe.
bool IsClean(std::wstring_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      ++i;
    } else if (IsHigh(text[i]) || IsLow(text[i]) || IsUnsafe(text[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData) {
  CFuzzInput input(pData, cbData);
  const std::size_t cchMax = input.Take<std::uint16_t>();
  const std::wstring text = WideFromFuzzBytes(input.TakeRest());

  const std::wstring line = SanitizeConsoleLine(text, cchMax);
  const std::size_t cchLimit = cchMax < 4 ? 4 : cchMax;
  FUZZ_CHECK(IsClean(line));
  FUZZ_CHECK(line.size() <= cchLimit);
  if (text.size() <= cchLimit) {
    // One character in, one out: nothing moves, nothing is dropped.
    FUZZ_CHECK(line.size() == text.size());
    FUZZ_CHECK(!IsClean(text) || line == text);
  } else {
    FUZZ_CHECK(line.ends_with(L"..."));
    FUZZ_CHECK(line.size() + 1 >= cchLimit);
  }
  return 0;
}
