#pragma once
// Which discovery answer is the router. Every UPnP gateway on the network
// answers a search: the router, but also a mesh node, a repeater, a second
// router behind the first, often sooner. The one that routes this PC's
// traffic is its default gateway; only when none of the answers comes from a
// default gateway does the first answer serve.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// IPv4 addresses as (a << 24) | (b << 16) | (c << 8) | d, as ParseIpv4 gives them.
struct GatewayAnswer {
  std::uint32_t m_nSenderIpv4 = 0;
  std::wstring m_strLocation;  // the description URL the answer gave
};

// One row of the IPv4 routing table, as far as choosing a gateway goes.
struct RouteRow {
  std::uint8_t m_nPrefixLength = 0;  // 0: a default route
  std::uint32_t m_nNextHopIpv4 = 0;  // 0: on-link, no gateway
  std::uint32_t m_nMetric = 0;       // the route's own
};

// This PC's default gateways, each once: first the one the system routes
// internet traffic through (nBestNextHop, the next hop its route lookup gave
// for an address on the internet; 0 when unknown or on-link), then the other
// default routes' by their metric (the table's order among equals).
[[nodiscard]] std::vector<std::uint32_t> DefaultGatewaysOf(const std::vector<RouteRow>& routes,
                                                           std::uint32_t nBestNextHop);

// The answer to use: the one from the best-placed default gateway in
// gateways (earliest among its own answers), else the first answer; nothing
// when there are no answers.
[[nodiscard]] std::optional<std::size_t> ChooseGatewayAnswer(
    const std::vector<GatewayAnswer>& answers, const std::vector<std::uint32_t>& gateways);

// Whether no later answer can win over this one, so the search may end.
[[nodiscard]] bool IsPreferredGateway(std::uint32_t nSenderIpv4,
                                      const std::vector<std::uint32_t>& gateways) noexcept;
