#pragma once
// The text around a UPnP action call: the envelope we send, the SOAPAction
// header, and the numbers in the answer. Reading the answer's XML is XmlLite's
// job (RouterXml); this is only what is written, and the figures' text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::wstring_view kCommonInterfaceService =
    L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:";

// UTF-8 body of an action call without arguments.
[[nodiscard]] std::string BuildSoapRequest(std::wstring_view serviceType, std::wstring_view action);

// The whole header line for WinHTTP, e.g. SOAPAction: "urn:...:1#GetTotalBytesSent".
[[nodiscard]] std::wstring SoapActionHeader(std::wstring_view serviceType,
                                            std::wstring_view action);

// A UPnP ui4/ui8 value: decimal digits with optional surrounding blanks.
[[nodiscard]] std::optional<std::uint64_t> ParseUpnpUnsigned(std::wstring_view text) noexcept;

// Is this the service that carries the WAN byte counters?
[[nodiscard]] bool IsCommonInterfaceService(std::wstring_view serviceType) noexcept;
