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
};

class CFakeIgd {
 public:
  using Handler = std::function<FakeResponse(const FakeRequest&)>;

  CFakeIgd() = default;
  ~CFakeIgd() { Stop(); }
  CFakeIgd(const CFakeIgd&) = delete;
  CFakeIgd& operator=(const CFakeIgd&) = delete;

  [[nodiscard]] bool Start(Handler handler);
  void Stop();

  [[nodiscard]] int Port() const { return m_nPort; }
  [[nodiscard]] std::wstring Url(const char* pszPath) const;
  [[nodiscard]] std::vector<FakeRequest> Requests();

 private:
  static DWORD WINAPI ThreadMain(void* pParam);
  void Serve();
  void Answer(SOCKET client);

  Handler m_handler;
  SOCKET m_listener = INVALID_SOCKET;
  HANDLE m_hThread = nullptr;
  HANDLE m_hStop = nullptr;
  int m_nPort = 0;
  std::mutex m_lock;
  std::vector<FakeRequest> m_requests;
};

// Answers as a gateway would.
[[nodiscard]] std::string SoapAnswer(
    const char* pszAction, const std::vector<std::pair<const char*, std::string>>& values);
[[nodiscard]] std::string SoapFault(int nCode, const char* pszDescription);
// A description with one WANCommonInterfaceConfig service; pszUrlBase may be null.
[[nodiscard]] std::string IgdDescriptionXml(const char* pszControlUrl, const char* pszUrlBase);
// The SOAP action a request asked for: "GetTotalBytesSent" from its SOAPAction header.
[[nodiscard]] std::string ActionOf(const FakeRequest& request);
