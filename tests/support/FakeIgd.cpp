#include "support/FakeIgd.h"

#include <ws2tcpip.h>

#include <cstdlib>

namespace {

std::string HeaderValue(const std::string& head, const char* pszName) {
  std::size_t nPos = 0;
  const std::string name = std::string("\r\n") + pszName + ":";
  for (;;) {
    nPos = head.find("\r\n", nPos);
    if (nPos == std::string::npos) return {};
    if (_strnicmp(head.c_str() + nPos, name.c_str(), name.size()) == 0) {
      const std::size_t nStart = head.find_first_not_of(' ', nPos + name.size());
      const std::size_t nEnd = head.find("\r\n", nStart);
      return head.substr(nStart, nEnd - nStart);
    }
    nPos += 2;
  }
}

// A socket on a loopback address, on nPort or a free port when nPort is 0;
// empty when none. A port the fake listened on before may be taken
// again at once, as a rebooted router does, whatever state its earlier
// connections are in (every listener and what it accepts allow that).
CUniqueSocket BindLoopback(int nType, u_long nAddress, int& nPort) {
  // Not inherited: a publisher the test starts would hold the port open
  // after the fake closed it, and a refusing fake would go on listening.
  CUniqueSocket owner(WSASocketW(AF_INET, nType, nType == SOCK_STREAM ? IPPROTO_TCP : IPPROTO_UDP,
                                 nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
  const SOCKET s = owner.Get();
  if (!owner) {
    return owner;
  }
  if (nType == SOCK_STREAM) {
    const BOOL bReuse = TRUE;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&bReuse), sizeof(bReuse));
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(nPort));
  address.sin_addr.s_addr = htonl(nAddress);
  int cbAddress = sizeof(address);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &cbAddress) != 0) {
    return {};
  }
  nPort = ntohs(address.sin_port);
  return owner;
}

}  // namespace

bool CFakeIgd::Start(Handler handler, SsdpHandler ssdp) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  m_bWinsock = true;
  m_handler = std::move(handler);
  m_ssdpHandler = std::move(ssdp);
  if (!OpenListener(0)) return false;
  m_ssdp = BindLoopback(SOCK_DGRAM, INADDR_LOOPBACK, m_nSsdpPort);
  if (!m_ssdp) return false;
  m_hStop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  m_hThread.Reset(CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
  return static_cast<bool>(m_hThread);
}

void CFakeIgd::Stop() {
  if (m_hThread) {
    SetEvent(m_hStop.Get());
    WaitForSingleObject(m_hThread.Get(), 10000);
    m_hThread.Reset();
  }
  m_hStop.Reset();
  m_ssdp.Reset();
  m_listener.Reset();
  if (m_bWinsock) {
    m_bWinsock = false;
    WSACleanup();
  }
}

bool CFakeIgd::OpenListener(int nPort) {
  CUniqueSocket listener = BindLoopback(SOCK_STREAM, INADDR_LOOPBACK, nPort);
  if (!listener || listen(listener.Get(), 8) != 0) {
    return false;
  }
  m_listener = std::move(listener);
  m_nPort = nPort;
  return true;
}

void CFakeIgd::Refuse() {
  std::lock_guard guard(m_listenLock);
  m_listener.Reset();
}

bool CFakeIgd::Listen(bool bNewPort) {
  std::lock_guard guard(m_listenLock);
  m_listener.Reset();
  if (!bNewPort) return OpenListener(m_nPort);
  // A new port is one the system has not just handed out: the old one is
  // kept until the new one is bound.
  int nOld = m_nPort;
  const CUniqueSocket keep = BindLoopback(SOCK_STREAM, INADDR_LOOPBACK, nOld);
  return OpenListener(0);
}

void CFakeIgd::Change(const std::function<void()>& change) {
  std::lock_guard guard(m_handlerLock);
  change();
}

std::wstring CFakeIgd::Url(const char* pszPath) const {
  std::string url = "http://127.0.0.1:" + std::to_string(m_nPort) + pszPath;
  return std::wstring(url.begin(), url.end());
}

std::vector<FakeRequest> CFakeIgd::Requests() {
  std::lock_guard guard(m_lock);
  return m_requests;
}

std::vector<std::string> CFakeIgd::SsdpSearches() {
  std::lock_guard guard(m_lock);
  return m_searches;
}

DWORD WINAPI CFakeIgd::ThreadMain(void* pParam) {
  static_cast<CFakeIgd*>(pParam)->Serve();
  return 0;
}

void CFakeIgd::Serve() {
  while (WaitForSingleObject(m_hStop.Get(), 0) == WAIT_TIMEOUT) {
    CUniqueSocket client;
    bool bSearch = false;
    std::vector<SOCKET> gone;
    {
      std::lock_guard guard(m_listenLock);
      fd_set readable;
      FD_ZERO(&readable);
      if (m_listener) FD_SET(m_listener.Get(), &readable);
      FD_SET(m_ssdp.Get(), &readable);
      for (const Hanging& hanging : m_hanging) FD_SET(hanging.m_socket.Get(), &readable);
      timeval wait{0, 20'000};
      if (select(0, &readable, nullptr, nullptr, &wait) < 0) continue;
      bSearch = FD_ISSET(m_ssdp.Get(), &readable) != 0;
      if (m_listener && FD_ISSET(m_listener.Get(), &readable)) {
        client.Reset(accept(m_listener.Get(), nullptr, nullptr));
        if (client) {
          SetHandleInformation(reinterpret_cast<HANDLE>(client.Get()), HANDLE_FLAG_INHERIT, 0);
        }
      }
      // A client that gave up on an answer that never came has left.
      const ULONGLONG nNow = GetTickCount64();
      for (const Hanging& hanging : m_hanging) {
        char buffer[256];
        if ((FD_ISSET(hanging.m_socket.Get(), &readable) &&
             recv(hanging.m_socket.Get(), buffer, sizeof(buffer), 0) <= 0) ||
            nNow >= hanging.m_nUntil) {
          gone.push_back(hanging.m_socket.Get());
        }
      }
    }
    for (SOCKET s : gone) {
      std::erase_if(m_hanging, [s](const Hanging& hanging) { return hanging.m_socket.Get() == s; });
    }
    if (bSearch) AnswerSearch();
    if (!client || !Answer(client.Get())) {
      continue;
    }
    // Never answered: held open until the client leaves. The oldest goes
    // when too many wait (select takes only so many sockets).
    if (m_hanging.size() >= kMaxHanging) {
      m_hanging.erase(m_hanging.begin());
    }
    m_hanging.push_back({std::move(client), GetTickCount64() + 30'000});
  }
  m_hanging.clear();
}

bool CFakeIgd::Answer(SOCKET client) {
  std::string data;
  char buffer[4096];
  std::size_t nHeadEnd = std::string::npos;
  while (nHeadEnd == std::string::npos) {
    const int cb = recv(client, buffer, sizeof(buffer), 0);
    if (cb <= 0) return false;
    data.append(buffer, static_cast<std::size_t>(cb));
    nHeadEnd = data.find("\r\n\r\n");
  }
  const std::string head = data.substr(0, nHeadEnd + 2);
  const std::size_t cbBody =
      static_cast<std::size_t>(std::atoi(HeaderValue(head, "Content-Length").c_str()));
  while (data.size() < nHeadEnd + 4 + cbBody) {
    const int cb = recv(client, buffer, sizeof(buffer), 0);
    if (cb <= 0) return false;
    data.append(buffer, static_cast<std::size_t>(cb));
  }

  FakeRequest request;
  const std::size_t nMethodEnd = head.find(' ');
  const std::size_t nPathEnd = head.find(' ', nMethodEnd + 1);
  request.m_strMethod = head.substr(0, nMethodEnd);
  request.m_strPath = head.substr(nMethodEnd + 1, nPathEnd - nMethodEnd - 1);
  request.m_strSoapAction = HeaderValue(head, "SOAPAction");
  request.m_strBody = data.substr(nHeadEnd + 4, cbBody);
  if (m_bRecording) {
    std::lock_guard guard(m_lock);
    m_requests.push_back(request);
  }

  FakeResponse response;
  {
    std::lock_guard guard(m_handlerLock);
    response = m_handler(request);
  }
  if (response.m_bHang) return true;
  std::string answer = "HTTP/1.1 " + std::to_string(response.m_nStatus) +
                       (response.m_nStatus == 200 ? " OK" : " Error") +
                       "\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nContent-Length: " +
                       std::to_string(response.m_strBody.size()) + "\r\nConnection: close\r\n";
  for (const auto& [name, value] : response.m_headers) answer += name + ": " + value + "\r\n";
  answer += "\r\n";
  bool bSent = true;
  if (response.m_bDripBodyOnly) {
    bSent = SendAll(client, answer, 0) && SendAll(client, response.m_strBody, response.m_dwDripMs);
  } else {
    bSent = SendAll(client, answer + response.m_strBody, response.m_dwDripMs);
  }
  if (bSent) shutdown(client, SD_SEND);
  return false;
}

bool CFakeIgd::SendAll(SOCKET client, const std::string& text, DWORD dwDripMs) {
  if (dwDripMs == 0) {
    return send(client, text.data(), static_cast<int>(text.size()), 0) ==
           static_cast<int>(text.size());
  }
  for (char ch : text) {
    if (send(client, &ch, 1, 0) != 1) return false;
    if (WaitForSingleObject(m_hStop.Get(), dwDripMs) != WAIT_TIMEOUT) return false;
  }
  return true;
}

void CFakeIgd::AnswerSearch() {
  char buffer[2048];
  sockaddr_in from{};
  int cbFrom = sizeof(from);
  const int cb = recvfrom(m_ssdp.Get(), buffer, sizeof(buffer), 0,
                          reinterpret_cast<sockaddr*>(&from), &cbFrom);
  if (cb < 0) return;
  const std::string search(buffer, static_cast<std::size_t>(cb));
  {
    std::lock_guard guard(m_lock);
    m_searches.push_back(search);
  }
  if (!m_ssdpHandler) return;
  std::vector<std::string> answers;
  {
    std::lock_guard guard(m_handlerLock);
    answers = m_ssdpHandler(search);
  }
  for (const std::string& answer : answers) {
    sendto(m_ssdp.Get(), answer.data(), static_cast<int>(answer.size()), 0,
           reinterpret_cast<const sockaddr*>(&from), cbFrom);
  }
}

std::string SoapAnswer(const char* pszAction,
                       const std::vector<std::pair<const char*, std::string>>& values) {
  std::string body =
      "<?xml version=\"1.0\"?>\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
      "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\n<s:Body>\n<u:";
  body += pszAction;
  body += "Response xmlns:u=\"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1\">\n";
  for (const auto& [pszName, value] : values) {
    body += std::string("<") + pszName + ">" + value + "</" + pszName + ">\n";
  }
  body += std::string("</u:") + pszAction + "Response>\n</s:Body>\n</s:Envelope>\n";
  return body;
}

std::string SoapFault(int nCode, const char* pszDescription) {
  return "<?xml version=\"1.0\"?>\n<s:Envelope "
         "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
         "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\n<s:Body>\n<s:Fault>\n"
         "<faultcode>s:Client</faultcode>\n<faultstring>UPnPError</faultstring>\n<detail>\n"
         "<UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\">\n<errorCode>" +
         std::to_string(nCode) + "</errorCode>\n<errorDescription>" + pszDescription +
         "</errorDescription>\n</UPnPError>\n</detail>\n</s:Fault>\n</s:Body>\n</s:Envelope>\n";
}

std::string IgdDescriptionXml(const char* pszControlUrl, const char* pszUrlBase,
                              const char* pszUdn) {
  std::string xml =
      "<?xml version=\"1.0\"?>\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">\n"
      "<specVersion><major>1</major><minor>0</minor></specVersion>\n";
  if (pszUrlBase != nullptr) xml += std::string("<URLBase>") + pszUrlBase + "</URLBase>\n";
  xml +=
      "<device>\n<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>\n"
      "<friendlyName>Test Gateway</friendlyName>\n<UDN>" +
      std::string(pszUdn) +
      "</UDN>\n<serviceList>\n<service>\n"
      "<serviceType>urn:schemas-upnp-org:service:Layer3Forwarding:1</serviceType>\n"
      "<serviceId>urn:upnp-org:serviceId:L3Forwarding1</serviceId>\n"
      "<controlURL>/wrong/l3f</controlURL>\n<eventSubURL/>\n<SCPDURL>/l3f.xml</SCPDURL>\n</"
      "service>\n"
      "</serviceList>\n<deviceList>\n<device>\n"
      "<deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>\n<serviceList>\n<service>\n"
      "<serviceType>urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1</serviceType>\n"
      "<serviceId>urn:upnp-org:serviceId:WANCommonIFC1</serviceId>\n<controlURL>";
  xml += pszControlUrl;
  xml +=
      "</controlURL>\n<eventSubURL>/evt</eventSubURL>\n<SCPDURL>/wancic.xml</SCPDURL>\n</service>\n"
      "</serviceList>\n</device>\n</deviceList>\n</device>\n</root>\n";
  return xml;
}

std::string ActionOf(const FakeRequest& request) {
  const std::size_t nHash = request.m_strSoapAction.find('#');
  if (nHash == std::string::npos) return {};
  std::string action = request.m_strSoapAction.substr(nHash + 1);
  if (!action.empty() && action.back() == '"') action.pop_back();
  return action;
}

void FakeGateway::Describe(const std::string& strControlPath, const char* pszUdn) {
  m_strControlPath = strControlPath;
  m_strDescription = IgdDescriptionXml(strControlPath.c_str(), nullptr, pszUdn);
}

void FakeGateway::SetTotals(std::vector<std::uint64_t> sent, std::vector<std::uint64_t> received) {
  m_sent = std::move(sent);
  m_received = std::move(received);
  m_nSentCalls = 0;
  m_nReceivedCalls = 0;
}

namespace {

std::string NextTotal(const std::vector<std::uint64_t>& values, std::uint64_t nStep,
                      std::size_t& nCalls) {
  const std::uint64_t nValue = nCalls < values.size()
                                   ? values[nCalls]
                                   : values.back() + (nCalls - values.size() + 1) * nStep;
  ++nCalls;
  return std::to_string(nValue);
}

}  // namespace

FakeResponse FakeGateway::Answer(const FakeRequest& request) {
  if (request.m_strMethod == "GET") {
    if (const auto it = m_overrides.find("GET " + request.m_strPath); it != m_overrides.end()) {
      return it->second;
    }
    if (request.m_strPath != m_strDescriptionPath) return {404, ""};
    return {m_nDescriptionStatus, m_strDescription};
  }
  if (request.m_strPath != m_strControlPath) return {404, ""};
  const std::string action = ActionOf(request);
  if (const auto it = m_overrides.find(action); it != m_overrides.end()) return it->second;
  if (action == "GetCommonLinkProperties") {
    ++m_nLinkCalls;
    std::vector<std::pair<const char*, std::string>> values = {{"NewWANAccessType", "DSL"}};
    if (m_strUpBits) values.emplace_back("NewLayer1UpstreamMaxBitRate", *m_strUpBits);
    if (m_strDownBits) values.emplace_back("NewLayer1DownstreamMaxBitRate", *m_strDownBits);
    values.emplace_back("NewPhysicalLinkStatus", "Up");
    return {200, SoapAnswer("GetCommonLinkProperties", values)};
  }
  if (action == "GetAddonInfos" && m_bAddon) {
    return {200, SoapAnswer("GetAddonInfos", {{"NewByteSendRate", m_strSendRate},
                                              {"NewByteReceiveRate", m_strReceiveRate},
                                              {"NewPacketSendRate", "80"},
                                              {"NewTotalBytesSent", "1"}})};
  }
  if (action == "GetTotalBytesSent") {
    return {200, SoapAnswer("GetTotalBytesSent",
                            {{"NewTotalBytesSent", NextTotal(m_sent, m_nSentStep, m_nSentCalls)}})};
  }
  if (action == "GetTotalBytesReceived") {
    return {200, SoapAnswer("GetTotalBytesReceived",
                            {{"NewTotalBytesReceived",
                              NextTotal(m_received, m_nReceivedStep, m_nReceivedCalls)}})};
  }
  return {500, SoapFault(401, "Invalid Action")};
}
