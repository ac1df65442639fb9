#pragma once
// A UPnP gateway played by the test itself on 127.0.0.1: it answers each
// HTTP request with whatever the test's handler says, including not at all.

#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct FakeRequest {
  std::string m_strMethod;
  std::string m_strPath;
  std::string m_strSoapAction;  // the SOAPAction header's value, quotes and all
  std::string m_strBody;
};

struct FakeResponse {
  int m_nStatus = 200;
  std::string m_strBody;
  bool m_bHang = false;  // accept, read, and never answer
  std::vector<std::pair<std::string, std::string>> m_headers = {};  // more header lines
  DWORD m_dwDripMs = 0;          // nonzero: the whole answer one byte at a time, this far apart
  bool m_bDripBodyOnly = false;  // with m_dwDripMs: the head at once, then the body drips
};

class CFakeIgd {
 public:
  using Handler = std::function<FakeResponse(const FakeRequest&)>;
  // Given the text of an M-SEARCH that reached the fake's SSDP port, the
  // datagrams to answer with. (They all come from 127.0.0.1: Wine sends from
  // 127.0.0.1 whichever loopback address a socket is bound to.)
  using SsdpHandler = std::function<std::vector<std::string>(const std::string&)>;

  CFakeIgd() = default;
  ~CFakeIgd() { Stop(); }
  CFakeIgd(const CFakeIgd&) = delete;
  CFakeIgd& operator=(const CFakeIgd&) = delete;

  // HTTP on 127.0.0.1; SSDP on a UDP port of 127.0.0.1 as well (never multicast).
  [[nodiscard]] bool Start(Handler handler, SsdpHandler ssdp = {});
  void Stop();

  [[nodiscard]] int Port() const { return m_nPort; }
  [[nodiscard]] int SsdpPort() const { return m_nSsdpPort; }
  [[nodiscard]] std::wstring Url(const char* pszPath) const;
  [[nodiscard]] std::vector<FakeRequest> Requests();
  [[nodiscard]] std::vector<std::string> SsdpSearches();

 private:
  static DWORD WINAPI ThreadMain(void* pParam);
  void Serve();
  void Answer(SOCKET client);
  void AnswerSearch();
  // Sends all of text, one byte each dwDripMs when that is nonzero; false when
  // the client went away or the fake is stopping.
  bool SendAll(SOCKET client, const std::string& text, DWORD dwDripMs);

  Handler m_handler;
  SsdpHandler m_ssdpHandler;
  SOCKET m_listener = INVALID_SOCKET;
  SOCKET m_ssdp = INVALID_SOCKET;
  HANDLE m_hThread = nullptr;
  HANDLE m_hStop = nullptr;
  int m_nPort = 0;
  int m_nSsdpPort = 0;
  std::mutex m_lock;
  std::vector<FakeRequest> m_requests;
  std::vector<std::string> m_searches;
};

// Answers as a gateway would.
[[nodiscard]] std::string SoapAnswer(
    const char* pszAction, const std::vector<std::pair<const char*, std::string>>& values);
[[nodiscard]] std::string SoapFault(int nCode, const char* pszDescription);
// A description with one WANCommonInterfaceConfig service; pszUrlBase may be null.
[[nodiscard]] std::string IgdDescriptionXml(const char* pszControlUrl, const char* pszUrlBase);
// The SOAP action a request asked for: "GetTotalBytesSent" from its SOAPAction header.
[[nodiscard]] std::string ActionOf(const FakeRequest& request);
