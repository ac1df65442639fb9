#pragma once
// The two texts of SSDP discovery: the M-SEARCH we send and the LOCATION
// header of an answer. SSDP is HTTP over UDP, which no platform HTTP stack
// speaks, so these few header lines are handled here.

#include <string>
#include <string_view>

inline constexpr std::string_view kIgdSearchTarget =
    "urn:schemas-upnp-org:device:InternetGatewayDevice:1";

[[nodiscard]] std::string BuildSsdpSearch(std::string_view searchTarget, int nMaxWaitSeconds);

// The LOCATION of a 200 answer, or empty for anything else.
[[nodiscard]] std::string SsdpLocation(std::string_view response);
