#include "publisher/upnp/GatewayChoice.h"

#include <algorithm>

std::vector<std::uint32_t> DefaultGatewaysOf(const std::vector<RouteRow>& routes,
                                             std::uint32_t nBestNextHop) {
  std::vector<RouteRow> defaults;
  for (const RouteRow& route : routes) {
    if (route.m_nPrefixLength == 0 && route.m_nNextHopIpv4 != 0) {
      defaults.push_back(route);
    }
  }
  std::stable_sort(defaults.begin(), defaults.end(),
                   [](const RouteRow& a, const RouteRow& b) { return a.m_nMetric < b.m_nMetric; });
  std::vector<std::uint32_t> gateways;
  if (nBestNextHop != 0) {
    gateways.push_back(nBestNextHop);
  }
  for (const RouteRow& route : defaults) {
    if (std::find(gateways.begin(), gateways.end(), route.m_nNextHopIpv4) == gateways.end()) {
      gateways.push_back(route.m_nNextHopIpv4);
    }
  }
  return gateways;
}

std::optional<std::size_t> ChooseGatewayAnswer(const std::vector<GatewayAnswer>& answers,
                                               const std::vector<std::uint32_t>& gateways) {
  if (answers.empty()) {
    return std::nullopt;
  }
  std::optional<std::size_t> nBest;
  std::size_t nBestRank = gateways.size();
  for (std::size_t i = 0; i < answers.size(); ++i) {
    const auto it = std::find(gateways.begin(), gateways.end(), answers[i].m_nSenderIpv4);
    const auto nRank = static_cast<std::size_t>(it - gateways.begin());
    if (nRank < nBestRank) {
      nBestRank = nRank;
      nBest = i;
    }
  }
  return nBest ? nBest : std::optional<std::size_t>{0};
}

bool IsPreferredGateway(std::uint32_t nSenderIpv4,
                        const std::vector<std::uint32_t>& gateways) noexcept {
  return !gateways.empty() && gateways.front() == nSenderIpv4;
}
