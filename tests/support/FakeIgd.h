#pragma once
// A UPnP gateway played by the test itself on 127.0.0.1: it answers each
// HTTP request with whatever the test's handler says, including not at all.
// Its behaviour may change while it serves, as a real router's does: it
// stops taking connections (refused, as while rebooting), takes them again on
// the same port or another, and its handler's state changes (see FakeGateway).

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/UniqueSocket.h"

struct FakeRequest {
  std::string m_strMethod;
  std::string m_strPath;
  std::string m_strSoapAction;  // the SOAPAction header's value, quotes and all
  std::string m_strBody;
};

struct FakeResponse {
  int m_nStatus = 200;
  std::string m_strBody;
  bool m_bHang = false;  // accept, read, and never answer (until the client goes away)
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

  // While refusing, connections to the HTTP port are refused (nothing listens).
  void Refuse();
  // Listens again: on the port it had, or on a new one (Port() tells which).
  [[nodiscard]] bool Listen(bool bNewPort = false);
  // Runs change with the handler held still: the way to change what the
  // handler answers while the fake serves.
  void Change(const std::function<void()>& change);

  [[nodiscard]] int Port() const { return m_nPort; }
  [[nodiscard]] int SsdpPort() const { return m_nSsdpPort; }
  [[nodiscard]] std::wstring Url(const char* pszPath) const;
  [[nodiscard]] std::vector<FakeRequest> Requests();
  // Whether requests are kept for Requests() (they are unless told otherwise:
  // thousands of them would grow the test's own memory).
  void SetRecording(bool bRecording) { m_bRecording = bRecording; }
  [[nodiscard]] std::vector<std::string> SsdpSearches();

 private:
  static DWORD WINAPI ThreadMain(void* pParam);
  void Serve();
  [[nodiscard]] bool OpenListener(int nPort);
  // True when the request is left unanswered: the socket is kept open.
  [[nodiscard]] bool Answer(SOCKET client);
  void AnswerSearch();
  // Sends all of text, one byte each dwDripMs when that is nonzero; false when
  // the client went away or the fake is stopping.
  bool SendAll(SOCKET client, const std::string& text, DWORD dwDripMs);

  Handler m_handler;
  SsdpHandler m_ssdpHandler;
  CUniqueSocket m_listener;  // empty while refusing
  CUniqueSocket m_ssdp;
  CUniqueHandle m_hThread;
  CUniqueHandle m_hStop;
  std::atomic<int> m_nPort = 0;
  int m_nSsdpPort = 0;
  bool m_bWinsock = false;
  std::mutex m_listenLock;   // the listener, against the serving thread
  std::mutex m_handlerLock;  // the handler's state, against Change
  std::mutex m_lock;
  std::vector<FakeRequest> m_requests;
  std::vector<std::string> m_searches;
  std::atomic<bool> m_bRecording = true;
  // Clients whose request is never answered, until they leave (or 30 s pass).
  struct Hanging {
    CUniqueSocket m_socket;
    ULONGLONG m_nUntil;
  };
  static constexpr std::size_t kMaxHanging = 48;
  std::vector<Hanging> m_hanging;
};

// Answers as a gateway would.
[[nodiscard]] std::string SoapAnswer(
    const char* pszAction, const std::vector<std::pair<const char*, std::string>>& values);
[[nodiscard]] std::string SoapFault(int nCode, const char* pszDescription);
inline constexpr char kFakeUdn[] = "uuid:75802409-bccb-40e7-8e6c-00040e000001";
// A description with one WANCommonInterfaceConfig service; pszUrlBase may be null.
[[nodiscard]] std::string IgdDescriptionXml(const char* pszControlUrl, const char* pszUrlBase,
                                            const char* pszUdn = kFakeUdn);

// A gateway's behaviour for CFakeIgd's handler: a box-like router (with
// GetAddonInfos) by default, a miniupnpd-like one (totals only) without
// m_bAddon. Change it through CFakeIgd::Change while the fake serves.
struct FakeGateway {
  std::string m_strDescriptionPath = "/igddesc.xml";
  std::string m_strDescription = IgdDescriptionXml("/upnp/control/wancic", nullptr);
  int m_nDescriptionStatus = 200;
  std::string m_strControlPath = "/upnp/control/wancic";
  bool m_bAddon = true;
  std::string m_strSendRate = "89012";
  std::string m_strReceiveRate = "1234567";
  // The link's layer-1 rates in bits per second; nothing: left out of the answer.
  std::optional<std::string> m_strUpBits = "40000000";
  std::optional<std::string> m_strDownBits = "100000000";
  // The totals answered in turn; after the last, each answer adds its step.
  std::vector<std::uint64_t> m_sent{1000};
  std::vector<std::uint64_t> m_received{5000};
  std::uint64_t m_nSentStep = 0;
  std::uint64_t m_nReceivedStep = 0;
  std::map<std::string, FakeResponse> m_overrides;
  std::size_t m_nSentCalls = 0;
  std::size_t m_nReceivedCalls = 0;
  std::size_t m_nLinkCalls = 0;

  // The box after a reboot with other paths or as another device: the
  // description names controlPath and udn, and actions go there.
  void Describe(const std::string& strControlPath, const char* pszUdn = kFakeUdn);
  // Totals from these values on, as after a reset of the router's counters.
  void SetTotals(std::vector<std::uint64_t> sent, std::vector<std::uint64_t> received);

  [[nodiscard]] FakeResponse Answer(const FakeRequest& request);
};
// The SOAP action a request asked for: "GetTotalBytesSent" from its SOAPAction header.
[[nodiscard]] std::string ActionOf(const FakeRequest& request);
