#include "FakeIgd.h"

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

// A socket on a free port of a loopback address; INVALID_SOCKET when none.
SOCKET BindLoopback(int nType, u_long nAddress, int& nPort) {
  const SOCKET s = socket(AF_INET, nType, nType == SOCK_STREAM ? IPPROTO_TCP : IPPROTO_UDP);
  if (s == INVALID_SOCKET) {
    return s;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(nAddress);
  int cbAddress = sizeof(address);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &cbAddress) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  nPort = ntohs(address.sin_port);
  return s;
}

}  // namespace

bool CFakeIgd::Start(Handler handler, SsdpHandler ssdp) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  m_handler = std::move(handler);
  m_ssdpHandler = std::move(ssdp);
  m_listener = BindLoopback(SOCK_STREAM, INADDR_LOOPBACK, m_nPort);
  if (m_listener == INVALID_SOCKET || listen(m_listener, 8) != 0) return false;
  m_ssdp = BindLoopback(SOCK_DGRAM, INADDR_LOOPBACK, m_nSsdpPort);
  if (m_ssdp == INVALID_SOCKET) return false;
  m_hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  m_hThread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
  return m_hThread != nullptr;
}

void CFakeIgd::Stop() {
  if (m_hThread != nullptr) {
    SetEvent(m_hStop);
    WaitForSingleObject(m_hThread, 10000);
    CloseHandle(m_hThread);
    m_hThread = nullptr;
  }
  if (m_hStop != nullptr) {
    CloseHandle(m_hStop);
    m_hStop = nullptr;
  }
  if (m_ssdp != INVALID_SOCKET) {
    closesocket(m_ssdp);
    m_ssdp = INVALID_SOCKET;
  }
  if (m_listener != INVALID_SOCKET) {
    closesocket(m_listener);
    m_listener = INVALID_SOCKET;
    WSACleanup();
  }
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
  while (WaitForSingleObject(m_hStop, 0) == WAIT_TIMEOUT) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(m_listener, &readable);
    FD_SET(m_ssdp, &readable);
    timeval wait{0, 20'000};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
    if (FD_ISSET(m_ssdp, &readable)) AnswerSearch();
    if (!FD_ISSET(m_listener, &readable)) continue;
    const SOCKET client = accept(m_listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    Answer(client);
    closesocket(client);
  }
}

void CFakeIgd::Answer(SOCKET client) {
  std::string data;
  char buffer[4096];
  std::size_t nHeadEnd = std::string::npos;
  while (nHeadEnd == std::string::npos) {
    const int cb = recv(client, buffer, sizeof(buffer), 0);
    if (cb <= 0) return;
    data.append(buffer, static_cast<std::size_t>(cb));
    nHeadEnd = data.find("\r\n\r\n");
  }
  const std::string head = data.substr(0, nHeadEnd + 2);
  const std::size_t cbBody =
      static_cast<std::size_t>(std::atoi(HeaderValue(head, "Content-Length").c_str()));
  while (data.size() < nHeadEnd + 4 + cbBody) {
    const int cb = recv(client, buffer, sizeof(buffer), 0);
    if (cb <= 0) return;
    data.append(buffer, static_cast<std::size_t>(cb));
  }

  FakeRequest request;
  const std::size_t nMethodEnd = head.find(' ');
  const std::size_t nPathEnd = head.find(' ', nMethodEnd + 1);
  request.m_strMethod = head.substr(0, nMethodEnd);
  request.m_strPath = head.substr(nMethodEnd + 1, nPathEnd - nMethodEnd - 1);
  request.m_strSoapAction = HeaderValue(head, "SOAPAction");
  request.m_strBody = data.substr(nHeadEnd + 4, cbBody);
  {
    std::lock_guard guard(m_lock);
    m_requests.push_back(request);
  }

  const FakeResponse response = m_handler(request);
  if (response.m_bHang) {
    WaitForSingleObject(m_hStop, 3000);
    return;
  }
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
}

bool CFakeIgd::SendAll(SOCKET client, const std::string& text, DWORD dwDripMs) {
  if (dwDripMs == 0) {
    return send(client, text.data(), static_cast<int>(text.size()), 0) ==
           static_cast<int>(text.size());
  }
  for (char ch : text) {
    if (send(client, &ch, 1, 0) != 1) return false;
    if (WaitForSingleObject(m_hStop, dwDripMs) != WAIT_TIMEOUT) return false;
  }
  return true;
}

void CFakeIgd::AnswerSearch() {
  char buffer[2048];
  sockaddr_in from{};
  int cbFrom = sizeof(from);
  const int cb =
      recvfrom(m_ssdp, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &cbFrom);
  if (cb < 0) return;
  const std::string search(buffer, static_cast<std::size_t>(cb));
  {
    std::lock_guard guard(m_lock);
    m_searches.push_back(search);
  }
  if (!m_ssdpHandler) return;
  for (const std::string& answer : m_ssdpHandler(search)) {
    sendto(m_ssdp, answer.data(), static_cast<int>(answer.size()), 0,
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

std::string IgdDescriptionXml(const char* pszControlUrl, const char* pszUrlBase) {
  std::string xml =
      "<?xml version=\"1.0\"?>\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">\n"
      "<specVersion><major>1</major><minor>0</minor></specVersion>\n";
  if (pszUrlBase != nullptr) xml += std::string("<URLBase>") + pszUrlBase + "</URLBase>\n";
  xml +=
      "<device>\n<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>\n"
      "<friendlyName>Test Gateway</friendlyName>\n<serviceList>\n<service>\n"
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
