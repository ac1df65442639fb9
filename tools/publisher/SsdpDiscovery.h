#pragma once
// Finds the router's device description by SSDP: one M-SEARCH to the UPnP
// multicast group, the first gateway that answers wins.

#include <windows.h>

#include <string>

// Empty, with strError set, when no gateway answered within dwWaitMs.
[[nodiscard]] std::wstring DiscoverGatewayDescription(DWORD dwWaitMs, std::wstring& strError);
