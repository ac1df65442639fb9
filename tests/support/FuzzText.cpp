#include "support/FuzzText.h"

namespace {

constexpr std::wstring_view kHttp = L"http://";

wchar_t Lower(wchar_t ch) noexcept {
  return ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch;
}

}  // namespace

bool StartsWithHttp(std::wstring_view url) noexcept {
  if (url.size() < kHttp.size()) {
    return false;
  }
  for (std::size_t i = 0; i < kHttp.size(); ++i) {
    if (Lower(url[i]) != kHttp[i]) {
      return false;
    }
  }
  return true;
}

std::wstring NaiveHost(std::wstring_view url) {
  std::wstring_view authority = url.substr(kHttp.size());
  authority = authority.substr(0, authority.find_first_of(L"/?#"));
  const std::size_t nPortColon = authority.rfind(L':');
  if (nPortColon != std::wstring_view::npos && authority.find(L']', nPortColon) == authority.npos) {
    authority = authority.substr(0, nPortColon);
  }
  std::wstring host;
  for (const wchar_t ch : authority) {
    host.push_back(Lower(ch));
  }
  return host;
}

std::wstring_view TrimBlanks(std::wstring_view text) noexcept {
  const auto blank = [](wchar_t ch) {
    return ch == L' ' || ch == L'\t' || ch == L'\r' || ch == L'\n';
  };
  while (!text.empty() && blank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && blank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

bool IsPrintableAscii(std::wstring_view text) noexcept {
  for (const wchar_t ch : text) {
    if (ch <= L' ' || ch > L'~') {
      return false;
    }
  }
  return true;
}
