#include "publisher/upnp/UrlResolve.h"

namespace {

constexpr std::wstring_view kHttp = L"http://";

wchar_t LowerAscii(wchar_t ch) noexcept {
  return ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch;
}

bool SameTextNoCase(std::wstring_view a, std::wstring_view b) noexcept {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) {
      return false;
    }
  }
  return true;
}

bool IsAlpha(wchar_t ch) noexcept {
  return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z');
}
bool IsDigit(wchar_t ch) noexcept { return ch >= L'0' && ch <= L'9'; }
bool IsHexDigit(wchar_t ch) noexcept {
  return IsDigit(ch) || (ch >= L'a' && ch <= L'f') || (ch >= L'A' && ch <= L'F');
}

bool IsBlank(wchar_t ch) noexcept {
  return ch == L' ' || ch == L'\t' || ch == L'\r' || ch == L'\n';
}

std::wstring_view Trim(std::wstring_view text) noexcept {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// "scheme:" before any '/', '?' or '#'.
bool HasScheme(std::wstring_view url) noexcept {
  if (url.empty() || !IsAlpha(url.front())) {
    return false;
  }
  for (wchar_t ch : url.substr(1)) {
    if (ch == L':') {
      return true;
    }
    if (!IsAlpha(ch) && !IsDigit(ch) && ch != L'+' && ch != L'-' && ch != L'.') {
      return false;
    }
  }
  return false;
}

bool IsHostName(std::wstring_view host) noexcept {
  if (host.empty()) {
    return false;
  }
  for (wchar_t ch : host) {
    if (!IsAlpha(ch) && !IsDigit(ch) && ch != L'-' && ch != L'.' && ch != L'_') {
      return false;
    }
  }
  return true;
}

bool IsIpv6Literal(std::wstring_view inner) noexcept {
  if (inner.empty()) {
    return false;
  }
  for (wchar_t ch : inner) {
    if (!IsHexDigit(ch) && ch != L':' && ch != L'.') {
      return false;
    }
  }
  return true;
}

std::optional<std::uint16_t> ParsePort(std::wstring_view text) noexcept {
  if (text.empty()) {
    return std::uint16_t{80};
  }
  if (text.size() > 5) {
    return std::nullopt;
  }
  unsigned nPort = 0;
  for (wchar_t ch : text) {
    if (!IsDigit(ch)) {
      return std::nullopt;
    }
    nPort = nPort * 10 + static_cast<unsigned>(ch - L'0');
  }
  if (nPort == 0 || nPort > 65535) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(nPort);
}

ControlUrlResult Judge(const HttpUrl& home, std::wstring_view url, bool bFromUrlBase) {
  ControlUrlResult result;
  result.m_bFromUrlBase = bFromUrlBase;
  const std::optional<HttpUrl> parsed = ParseHttpUrl(url);
  if (!parsed) {
    const bool bHttp = SameTextNoCase(url.substr(0, kHttp.size() - 2), L"http:");
    if (HasScheme(url) && !bHttp) {
      result.m_verdict = ControlUrlVerdict::NotHttp;
      result.m_strUrl = url;
    }
    return result;
  }
  result.m_strUrl = url;
  result.m_verdict = SameHost(home, *parsed) ? ControlUrlVerdict::Ok : ControlUrlVerdict::OtherHost;
  return result;
}

}  // namespace

std::optional<HttpUrl> ParseHttpUrl(std::wstring_view url) {
  if (url.size() > kMaxUrlLength || !SameTextNoCase(url.substr(0, kHttp.size()), kHttp)) {
    return std::nullopt;
  }
  for (wchar_t ch : url) {
    if (ch <= L' ' || ch > L'~' || ch == L'\\') {
      return std::nullopt;
    }
  }
  url.remove_prefix(kHttp.size());
  const std::size_t nAuthorityEnd = url.find_first_of(L"/?#");
  const std::wstring_view authority = url.substr(0, nAuthorityEnd);
  std::wstring_view rest =
      nAuthorityEnd == std::wstring_view::npos ? std::wstring_view{} : url.substr(nAuthorityEnd);

  std::wstring_view host = authority;
  std::wstring_view port;
  if (!authority.empty() && authority.front() == L'[') {
    const std::size_t nClose = authority.find(L']');
    if (nClose == std::wstring_view::npos || !IsIpv6Literal(authority.substr(1, nClose - 1))) {
      return std::nullopt;
    }
    host = authority.substr(0, nClose + 1);
    const std::wstring_view after = authority.substr(nClose + 1);
    if (!after.empty() && after.front() != L':') {
      return std::nullopt;
    }
    port = after.empty() ? after : after.substr(1);
  } else {
    const std::size_t nColon = authority.find(L':');
    host = authority.substr(0, nColon);
    port = nColon == std::wstring_view::npos ? std::wstring_view{} : authority.substr(nColon + 1);
    if (!IsHostName(host)) {
      return std::nullopt;
    }
  }
  const std::optional<std::uint16_t> nPort = ParsePort(port);
  if (!nPort) {
    return std::nullopt;
  }

  rest = rest.substr(0, rest.find(L'#'));
  HttpUrl result;
  result.m_strHost = host;
  result.m_nPort = *nPort;
  result.m_strPath = rest.empty() || rest.front() != L'/' ? L"/" : L"";
  result.m_strPath += rest;
  return result;
}

bool SameHost(const HttpUrl& a, const HttpUrl& b) noexcept {
  return SameTextNoCase(a.m_strHost, b.m_strHost);
}

ControlUrlResult ResolveControlUrl(std::wstring_view descriptionUrl, std::wstring_view urlBase,
                                   std::wstring_view controlUrl) {
  descriptionUrl = Trim(descriptionUrl);
  urlBase = Trim(urlBase);
  controlUrl = Trim(controlUrl);
  const std::optional<HttpUrl> home = ParseHttpUrl(descriptionUrl);
  if (controlUrl.empty() || !home) {
    return {};
  }
  // "//host/path" names a host as surely as "http://host/path" does.
  if (controlUrl.substr(0, 2) == L"//") {
    return Judge(*home, L"http:" + std::wstring(controlUrl), false);
  }
  if (HasScheme(controlUrl)) {
    return Judge(*home, controlUrl, false);
  }

  if (!urlBase.empty()) {
    ControlUrlResult base = Judge(*home, urlBase, true);
    if (base.m_verdict != ControlUrlVerdict::Ok) {
      return base;
    }
  }
  const std::wstring_view from = urlBase.empty() ? descriptionUrl : urlBase;
  const std::size_t nPathStart = from.find_first_of(L"/?#", kHttp.size());
  const std::wstring_view origin = from.substr(0, nPathStart);
  if (controlUrl.front() == L'/') {
    return Judge(*home, std::wstring(origin) + std::wstring(controlUrl), false);
  }
  std::wstring_view directory = L"/";
  if (nPathStart != std::wstring_view::npos) {
    std::wstring_view path = from.substr(nPathStart);
    path = path.substr(0, path.find_first_of(L"?#"));
    // A base of only a query or a fragment has no path: its directory is the root.
    const std::size_t nLastSlash = path.rfind(L'/');
    if (nLastSlash != std::wstring_view::npos) {
      directory = path.substr(0, nLastSlash + 1);
    }
  }
  return Judge(*home, std::wstring(origin) + std::wstring(directory) + std::wstring(controlUrl),
               false);
}
