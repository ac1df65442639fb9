#pragma once
// The text around a UPnP action call: the envelope we send, the SOAPAction
// header, and the numbers in the answer. Reading the answer's XML is XmlLite's
// job (RouterXml); this is only what is written, and the figures' text. The
// service type comes from the router's description, so nothing of it reaches
// a header or the envelope unchecked.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::wstring_view kCommonInterfaceService =
    L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:";

// Is this the service that carries the WAN byte counters? Exactly the URN
// above followed by its version's digits.
[[nodiscard]] bool IsCommonInterfaceService(std::wstring_view serviceType) noexcept;

// UTF-8 body of an action call without arguments; empty when the service type
// is not a plain URN or the action not a plain name.
[[nodiscard]] std::string BuildSoapRequest(std::wstring_view serviceType, std::wstring_view action);

// The whole header line for WinHTTP, e.g. SOAPAction: "urn:...:1#GetTotalBytesSent";
// empty on the same terms as BuildSoapRequest.
[[nodiscard]] std::wstring SoapActionHeader(std::wstring_view serviceType,
                                            std::wstring_view action);

// One "Name: value" header line of printable ASCII: no CR, LF or other
// control character that could end it early or start another.
[[nodiscard]] bool IsSafeHeaderLine(std::wstring_view line) noexcept;

// The longest number read, in digits: a ui8 has at most 20, and this leaves
// room for zero padding. Longer text is no number the router meant.
inline constexpr std::size_t kMaxUpnpNumberDigits = 64;

// A UPnP ui4/ui8 value: decimal digits with optional surrounding blanks.
// Values at or above 2^63 read as INT64_MAX, so that no rate or total
// turns negative or small on its way to a signed figure.
[[nodiscard]] std::optional<std::int64_t> ParseUpnpUnsigned(std::wstring_view text) noexcept;
