#pragma once
// Finds the router's device description by SSDP: one M-SEARCH to the UPnP
// multicast group, and the first gateway that answers for itself wins (an
// answer naming another machine than its sender does not count).

#include <windows.h>

#include <cstdint>
#include <string>

struct SsdpTarget {
  std::uint32_t m_nIpv4 = 0;  // a.b.c.d as (a << 24) | (b << 16) | (c << 8) | d
  std::uint16_t m_nPort = 0;
};

// 239.255.255.250:1900, where every UPnP device listens.
inline constexpr SsdpTarget kSsdpMulticast{0xEFFFFFFAu, 1900};

// Empty, with strError set, when no gateway answered within dwWaitMs, or as
// soon as hCancel (may be null) is set.
[[nodiscard]] std::wstring DiscoverGatewayDescription(const SsdpTarget& target, DWORD dwWaitMs,
                                                      HANDLE hCancel, std::wstring& strError);
