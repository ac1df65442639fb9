#pragma once
// Where the publisher may send its requests. A device description names its
// control URL absolute, host-relative ("/upnp/control/x"), or relative to
// URLBase or to the description's own URL. Whatever it says, requests go only
// to the host the description came from, over plain http: a description is
// the answer of whatever device replied, and must not steer the publisher to
// another machine or to a service on this PC.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Longer URLs are not a router's.
inline constexpr std::size_t kMaxUrlLength = 2048;

struct HttpUrl {
  std::wstring m_strHost;  // as written (IPv6 literals keep their brackets); compare with SameHost
  std::uint16_t m_nPort = 80;
  std::wstring m_strPath;  // from the first '/', query included, fragment dropped; at least "/"
};

// An http:// URL of printable ASCII with a host and no user name; nothing for
// anything else (another scheme, blanks or control characters, a bad port).
[[nodiscard]] std::optional<HttpUrl> ParseHttpUrl(std::wstring_view url);

// Host names compare without regard to case; ports do not matter.
[[nodiscard]] bool SameHost(const HttpUrl& a, const HttpUrl& b) noexcept;

enum class ControlUrlVerdict {
  Ok,
  Unusable,   // empty, or no URL can be made of it
  NotHttp,    // another scheme than http
  OtherHost,  // another host than the description's
};

struct ControlUrlResult {
  ControlUrlVerdict m_verdict = ControlUrlVerdict::Unusable;
  std::wstring m_strUrl;        // Ok: where actions go; NotHttp/OtherHost: the address refused
  bool m_bFromUrlBase = false;  // the refused address is the URL base, not the control URL
};

// The URL base counts only when the control URL is relative to it.
[[nodiscard]] ControlUrlResult ResolveControlUrl(std::wstring_view descriptionUrl,
                                                 std::wstring_view urlBase,
                                                 std::wstring_view controlUrl);
