// Winsock's headers must come before <windows.h>.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "SsdpDiscovery.h"

#include "SsdpText.h"

namespace {

class CWinsock {
 public:
  CWinsock() noexcept { m_bStarted = WSAStartup(MAKEWORD(2, 2), &m_data) == 0; }
  ~CWinsock() {
    if (m_bStarted) WSACleanup();
  }
  CWinsock(const CWinsock&) = delete;
  CWinsock& operator=(const CWinsock&) = delete;
  [[nodiscard]] bool Started() const noexcept { return m_bStarted; }

 private:
  WSADATA m_data{};
  bool m_bStarted = false;
};

class CSocket {
 public:
  explicit CSocket(SOCKET s) noexcept : m_socket(s) {}
  ~CSocket() {
    if (m_socket != INVALID_SOCKET) closesocket(m_socket);
  }
  CSocket(const CSocket&) = delete;
  CSocket& operator=(const CSocket&) = delete;
  [[nodiscard]] SOCKET Get() const noexcept { return m_socket; }

 private:
  SOCKET m_socket;
};

}  // namespace

std::wstring DiscoverGatewayDescription(DWORD dwWaitMs, std::wstring& strError) {
  strError = L"no router answered the UPnP search within " + std::to_wstring(dwWaitMs / 1000) +
             L" s; turn on UPnP in the router, or give its description with --router URL";
  const CWinsock winsock;
  if (!winsock.Started()) return {};
  const CSocket udp(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  if (udp.Get() == INVALID_SOCKET) return {};
  const DWORD dwTtl = 2;
  setsockopt(udp.Get(), IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&dwTtl),
             sizeof(dwTtl));

  sockaddr_in group{};
  group.sin_family = AF_INET;
  group.sin_port = htons(1900);
  inet_pton(AF_INET, "239.255.255.250", &group.sin_addr);
  const std::string request = BuildSsdpSearch(
      kIgdSearchTarget, static_cast<int>(dwWaitMs / 1000 > 0 ? dwWaitMs / 1000 : 1));
  // UDP may drop one; a second copy costs nothing.
  for (int i = 0; i < 2; ++i) {
    sendto(udp.Get(), request.data(), static_cast<int>(request.size()), 0,
           reinterpret_cast<const sockaddr*>(&group), sizeof(group));
  }

  const ULONGLONG nEnd = GetTickCount64() + dwWaitMs;
  char buffer[2048];
  for (ULONGLONG nNow = GetTickCount64(); nNow < nEnd; nNow = GetTickCount64()) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(udp.Get(), &readable);
    const ULONGLONG nLeft = nEnd - nNow;
    timeval wait{static_cast<long>(nLeft / 1000), static_cast<long>(nLeft % 1000 * 1000)};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0) break;
    const int cb = recv(udp.Get(), buffer, sizeof(buffer), 0);
    if (cb <= 0) continue;
    const std::string location =
        SsdpLocation(std::string_view(buffer, static_cast<std::size_t>(cb)));
    if (location.substr(0, 7) != "http://") continue;
    strError.clear();
    return std::wstring(location.begin(), location.end());
  }
  return {};
}
