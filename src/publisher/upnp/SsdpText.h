#pragma once
// The texts of SSDP discovery: the M-SEARCH we send and the answers. SSDP is
// HTTP over UDP, which no platform HTTP stack speaks, so these few lines are
// read here. Any machine on the network may answer, and may claim to be
// another: an answer counts only when the device it names sent it itself.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view kIgdSearchTarget =
    "urn:schemas-upnp-org:device:InternetGatewayDevice:1";

// hostPort: where the search goes, e.g. "239.255.255.250:1900".
[[nodiscard]] std::string BuildSsdpSearch(std::string_view hostPort, std::string_view searchTarget,
                                          int nMaxWaitSeconds);

// The status code of an answer's status line ("HTTP/1.1 200 OK"), or -1 when
// the first line is not one.
[[nodiscard]] int SsdpStatusCode(std::string_view answer) noexcept;

// The LOCATION of a 200 answer, or empty for anything else, including a
// LOCATION with blanks, control characters or bytes beyond ASCII in it.
[[nodiscard]] std::string SsdpLocation(std::string_view answer);

// Dotted decimal a.b.c.d (no leading zeros, which some readers take for
// octal) as a.b.c.d == (a << 24) | (b << 16) | (c << 8) | d.
[[nodiscard]] std::optional<std::uint32_t> ParseIpv4(std::string_view text) noexcept;

// The description URL a gateway's answer gives, when the answer is a 200, its
// LOCATION an http:// URL, and that URL's host the IPv4 address nSenderIpv4
// (in the form ParseIpv4 gives) that the answer came from; empty otherwise.
[[nodiscard]] std::wstring SsdpGatewayLocation(std::string_view answer, std::uint32_t nSenderIpv4);
