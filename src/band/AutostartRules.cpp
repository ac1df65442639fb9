#include "band/AutostartRules.h"

#include <algorithm>

std::wstring ReadWholePath(const PathReader& read, std::size_t cchFirst) {
  std::wstring path;
  for (std::size_t cch = std::clamp<std::size_t>(cchFirst, 1, kMaxPathChars);;
       cch = std::min(cch * 2, kMaxPathChars)) {
    path.assign(cch, L'\0');
    const std::size_t cchRead = read(path.data(), cch);
    if (cchRead == 0) {
      break;
    }
    if (cchRead < cch) {
      path.resize(cchRead);
      return path;
    }
    if (cch == kMaxPathChars) {
      break;
    }
  }
  return {};
}

std::wstring QuoteCommandPath(const std::wstring& path) { return L"\"" + path + L"\""; }
