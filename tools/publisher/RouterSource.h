#pragma once
// The household's WAN throughput from the router over UPnP IGD, without
// credentials: byte rates from GetAddonInfos where the router has it, else
// the deltas of the total byte counters; full scale from the link's layer-1
// rates.

#include <windows.h>

#include <cstdint>
#include <string>

#include "CounterDelta.h"
#include "HttpClient.h"
#include "RouterXml.h"
#include "SsdpDiscovery.h"
#include "TrafficSource.h"

inline constexpr DWORD kDiscoveryWaitMs = 3000;

class CRouterSource final : public ITrafficSource {
 public:
  // strRouter: the device description's URL, or "auto" to search for it at
  // ssdp. Each exchange with the router ends by dwDeadlineMs; hCancel (may
  // be null) ends a search or an exchange under way.
  explicit CRouterSource(std::wstring strRouter, DWORD dwDeadlineMs = kHttpDeadlineMs,
                         HANDLE hCancel = nullptr, SsdpTarget ssdp = kSsdpMulticast);

  [[nodiscard]] std::wstring Start() override;
  [[nodiscard]] SourceReading Read(std::uint64_t nNowMs) override;

  [[nodiscard]] const std::wstring& ControlUrl() const noexcept { return m_strControlUrl; }

 private:
  enum class Addon { Unknown, Present, Absent };

  struct ActionResult {
    bool m_bOk = false;
    bool m_bUnknownAction = false;  // the router does not offer this action
    bool m_bNoAnswer = false;       // the exchange itself failed: timed out, refused, stopped
    std::wstring m_strError;
    SoapReply m_reply;
  };

  [[nodiscard]] ActionResult Call(const wchar_t* pszAction);
  // Empty when the router answered, whatever it said; else what went wrong.
  [[nodiscard]] std::wstring ReadLinkProperties(std::uint64_t nNowMs);
  [[nodiscard]] SourceReading ReadTotals(std::uint64_t nNowMs);

  CHttpClient m_http;
  HANDLE m_hCancel;
  SsdpTarget m_ssdp;
  std::wstring m_strRouter;
  std::wstring m_strDescriptionUrl;
  std::wstring m_strServiceType;
  std::wstring m_strControlUrl;
  Addon m_addon = Addon::Unknown;
  bool m_bLinkKnown = false;
  std::uint64_t m_nLinkRetryMs = 0;
  std::int64_t m_nMaxDown = 0;
  std::int64_t m_nMaxUp = 0;
  CCounterRateTracker m_sent{CounterWidth::Bits32OrWider};
  CCounterRateTracker m_received{CounterWidth::Bits32OrWider};
};
