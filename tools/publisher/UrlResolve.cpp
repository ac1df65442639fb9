#include "UrlResolve.h"

namespace {

constexpr std::wstring_view kHttp = L"http://";

bool StartsWithHttp(std::wstring_view url) {
  if (url.size() < kHttp.size()) return false;
  for (std::size_t i = 0; i < kHttp.size(); ++i) {
    wchar_t ch = url[i];
    if (ch >= L'A' && ch <= L'Z') ch = static_cast<wchar_t>(ch - L'A' + L'a');
    if (ch != kHttp[i]) return false;
  }
  return true;
}

std::wstring_view Trim(std::wstring_view text) {
  while (!text.empty() && (text.front() == L' ' || text.front() == L'\t' || text.front() == L'\r' ||
                           text.front() == L'\n'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\t' || text.back() == L'\r' ||
                           text.back() == L'\n'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

std::wstring ResolveControlUrl(std::wstring_view descriptionUrl, std::wstring_view urlBase,
                               std::wstring_view controlUrl) {
  controlUrl = Trim(controlUrl);
  urlBase = Trim(urlBase);
  if (controlUrl.empty()) return {};
  if (StartsWithHttp(controlUrl)) return std::wstring(controlUrl);

  const std::wstring_view base = urlBase.empty() ? Trim(descriptionUrl) : urlBase;
  if (!StartsWithHttp(base)) return {};
  const std::size_t nPathStart = base.find(L'/', kHttp.size());
  const std::wstring_view origin = base.substr(0, nPathStart);
  if (origin.size() == kHttp.size()) return {};
  if (controlUrl.front() == L'/') return std::wstring(origin) + std::wstring(controlUrl);

  std::wstring_view directory = L"/";
  if (nPathStart != std::wstring_view::npos) {
    std::wstring_view path = base.substr(nPathStart);
    path = path.substr(0, path.find_first_of(L"?#"));
    directory = path.substr(0, path.rfind(L'/') + 1);
  }
  return std::wstring(origin) + std::wstring(directory) + std::wstring(controlUrl);
}
