#pragma once
// Finds the router's device description by SSDP: one M-SEARCH to the UPnP
// multicast group. Only answers that a gateway gave for itself count (one
// naming another machine than its sender does not); among them this PC's
// default gateway wins, and the search ends as soon as the preferred one has
// answered. Otherwise the first answer of the whole wait serves.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct SsdpTarget {
  std::uint32_t m_nIpv4 = 0;  // a.b.c.d as (a << 24) | (b << 16) | (c << 8) | d
  std::uint16_t m_nPort = 0;
};

// 239.255.255.250:1900, where every UPnP device listens.
inline constexpr SsdpTarget kSsdpMulticast{0xEFFFFFFAu, 1900};

[[nodiscard]] constexpr bool IsMulticast(const SsdpTarget& target) noexcept {
  return (target.m_nIpv4 >> 28) == 0xE;
}

// gateways: this PC's default gateways, preferred first (DefaultGatewayAddresses).
// Empty, with strError set, when no gateway answered within dwWaitMs, or as
// soon as hCancel (may be null) is set.
[[nodiscard]] std::wstring DiscoverGatewayDescription(const SsdpTarget& target, DWORD dwWaitMs,
                                                      HANDLE hCancel,
                                                      const std::vector<std::uint32_t>& gateways,
                                                      std::wstring& strError);

// The next hops of this PC's IPv4 default routes, the one the system prefers
// first; empty when there is none or the table cannot be read.
[[nodiscard]] std::vector<std::uint32_t> DefaultGatewayAddresses();
