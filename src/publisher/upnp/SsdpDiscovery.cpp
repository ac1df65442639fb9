// Winsock's headers must come before <windows.h>.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "publisher/upnp/SsdpDiscovery.h"

#include <iphlpapi.h>
#include <netioapi.h>

#include "common/UniqueSocket.h"
#include "publisher/upnp/GatewayChoice.h"
#include "publisher/upnp/SsdpText.h"

namespace {

class CWinsock {
 public:
  CWinsock() noexcept { m_bStarted = WSAStartup(MAKEWORD(2, 2), &m_data) == 0; }
  ~CWinsock() {
    if (m_bStarted) {
      WSACleanup();
    }
  }
  CWinsock(const CWinsock&) = delete;
  CWinsock& operator=(const CWinsock&) = delete;
  [[nodiscard]] bool Started() const noexcept { return m_bStarted; }

 private:
  WSADATA m_data{};
  bool m_bStarted = false;
};

// A flood of answers must not keep the search from its deadline, nor fill memory.
constexpr int kAnswersPerWake = 64;
constexpr std::size_t kMaxAnswers = 64;

std::string HostPort(const SsdpTarget& target) {
  const std::uint32_t n = target.m_nIpv4;
  return std::to_string(n >> 24) + "." + std::to_string((n >> 16) & 0xFF) + "." +
         std::to_string((n >> 8) & 0xFF) + "." + std::to_string(n & 0xFF) + ":" +
         std::to_string(target.m_nPort);
}

// Takes the answers waiting that a gateway gave for itself; true once the
// preferred gateway is among them.
bool TakeAnswers(SOCKET udp, const std::vector<std::uint32_t>& gateways,
                 std::vector<GatewayAnswer>& answers) {
  char buffer[2048];
  for (int i = 0; i < kAnswersPerWake; ++i) {
    sockaddr_in from{};
    int cbFrom = sizeof(from);
    const int cb =
        recvfrom(udp, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &cbFrom);
    if (cb < 0) {
      // Too long a datagram, or a port that said it is closed: look at the next one.
      const int nError = WSAGetLastError();
      if (nError == WSAEMSGSIZE || nError == WSAECONNRESET) {
        continue;
      }
      break;
    }
    if (from.sin_family != AF_INET) {
      continue;
    }
    const std::uint32_t nSender = ntohl(from.sin_addr.s_addr);
    std::wstring location =
        SsdpGatewayLocation(std::string_view(buffer, static_cast<std::size_t>(cb)), nSender);
    if (location.empty() || answers.size() >= kMaxAnswers) {
      continue;
    }
    answers.push_back({nSender, std::move(location)});
    if (IsPreferredGateway(nSender, gateways)) {
      return true;
    }
  }
  return false;
}

// The next hop the system's route lookup gives for an address on the
// internet: the gateway this PC's traffic goes through, whatever the metrics
// of its interfaces (which Wine's iphlpapi cannot tell). 203.0.113.1 is a
// documentation address, on no one's network, so that a default route
// serves it; nothing is sent to it. 0 when there is none.
std::uint32_t BestNextHop() {
  MIB_IPFORWARDROW route{};
  if (GetBestRoute(htonl(0xCB007101), 0, &route) != NO_ERROR) {
    return 0;
  }
  return ntohl(route.dwForwardNextHop);
}

}  // namespace

std::vector<std::uint32_t> DefaultGatewayAddresses() {
  MIB_IPFORWARD_TABLE2* pTable = nullptr;
  if (GetIpForwardTable2(AF_INET, &pTable) != NO_ERROR || pTable == nullptr) {
    return {};
  }
  std::vector<RouteRow> routes;
  routes.reserve(pTable->NumEntries);
  for (ULONG i = 0; i < pTable->NumEntries; ++i) {
    const MIB_IPFORWARD_ROW2& row = pTable->Table[i];
    // Only default routes through a gateway matter.
    if (row.NextHop.si_family != AF_INET || row.DestinationPrefix.PrefixLength != 0 ||
        row.NextHop.Ipv4.sin_addr.s_addr == 0) {
      continue;
    }
    routes.push_back(
        {row.DestinationPrefix.PrefixLength, ntohl(row.NextHop.Ipv4.sin_addr.s_addr), row.Metric});
  }
  FreeMibTable(pTable);
  return DefaultGatewaysOf(routes, BestNextHop());
}

std::wstring DiscoverGatewayDescription(const SsdpTarget& target, DWORD dwWaitMs, HANDLE hCancel,
                                        const std::vector<std::uint32_t>& gateways,
                                        std::wstring& strError) {
  strError = L"no router answered the UPnP search within " +
             std::to_wstring((dwWaitMs + 999) / 1000) +
             L" s; turn on UPnP in the router, or give its description with --router URL";
  const CWinsock winsock;
  if (!winsock.Started()) {
    return {};
  }
  const CUniqueSocket udp(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  const CUniqueSocketEvent readable(WSACreateEvent());
  if (!udp || !readable || WSAEventSelect(udp.Get(), readable.Get(), FD_READ) != 0) {
    return {};
  }
  const DWORD dwTtl = 2;
  setsockopt(udp.Get(), IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&dwTtl),
             sizeof(dwTtl));

  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(target.m_nPort);
  to.sin_addr.s_addr = htonl(target.m_nIpv4);
  const std::string request =
      BuildSsdpSearch(HostPort(target), kIgdSearchTarget,
                      static_cast<int>(dwWaitMs / 1000 > 0 ? dwWaitMs / 1000 : 1));
  // UDP may drop one; a second copy costs nothing.
  for (int i = 0; i < 2; ++i) {
    sendto(udp.Get(), request.data(), static_cast<int>(request.size()), 0,
           reinterpret_cast<const sockaddr*>(&to), sizeof(to));
  }

  const HANDLE waitFor[] = {readable.Get(), hCancel};
  const DWORD nWaitFor = hCancel != nullptr ? 2 : 1;
  const ULONGLONG nEnd = GetTickCount64() + dwWaitMs;
  std::vector<GatewayAnswer> answers;
  for (ULONGLONG nNow = GetTickCount64(); nNow < nEnd; nNow = GetTickCount64()) {
    const DWORD dwWait =
        WaitForMultipleObjects(nWaitFor, waitFor, FALSE, static_cast<DWORD>(nEnd - nNow));
    if (dwWait == WAIT_OBJECT_0 + 1) {
      strError = L"stopped while searching for the router";
      return {};
    }
    if (dwWait != WAIT_OBJECT_0) {
      break;
    }
    WSANETWORKEVENTS events{};
    WSAEnumNetworkEvents(udp.Get(), readable.Get(), &events);
    if (TakeAnswers(udp.Get(), gateways, answers)) {
      break;
    }
  }
  const std::optional<std::size_t> nChosen = ChooseGatewayAnswer(answers, gateways);
  if (!nChosen) {
    return {};
  }
  strError.clear();
  return std::move(answers[*nChosen].m_strLocation);
}
