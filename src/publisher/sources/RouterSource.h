#pragma once
// The household's WAN throughput from the router over UPnP IGD, without
// credentials: byte rates from GetAddonInfos where the router has it, else
// the deltas of the total byte counters; full scale from the link's layer-1
// rates.
//
// Routers change under a publisher that runs for weeks: they reboot, come
// back on another port or with other control paths, get replaced, or the PC
// moves to another network. After readings keep failing the source starts
// over (discovery again with "auto", the description again), and a device
// whose UDN changed is a new one: nothing learnt of the old one carries over.
// After any failure, start-over or doubt, the next rate comes from two good
// readings of the same device.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "publisher/sources/CounterDelta.h"
#include "publisher/upnp/HttpClient.h"
#include "publisher/upnp/RouterXml.h"
#include "publisher/upnp/SsdpDiscovery.h"
#include "publisher/sources/TrafficSource.h"

inline constexpr DWORD kDiscoveryWaitMs = 3000;
// Failed readings in a row after which the router is looked for again.
inline constexpr unsigned kFailedReadingsBeforeStartOver = 2;
// A link speed not known (0 or not given) is asked again this often; a known
// one is asked again less often, so that a line that resynced to another
// speed changes the full scale.
inline constexpr std::uint64_t kLinkRetryMs = 60'000;
inline constexpr std::uint64_t kLinkRefreshMs = 300'000;

class CRouterSource final : public ITrafficSource {
 public:
  // strRouter: the device description's URL, or "auto" to search for it at
  // ssdp. Each exchange with the router ends by dwDeadlineMs; hCancel (may
  // be null) ends a search or an exchange under way.
  explicit CRouterSource(std::wstring strRouter, DWORD dwDeadlineMs = kHttpDeadlineMs,
                         HANDLE hCancel = nullptr, SsdpTarget ssdp = kSsdpMulticast);

  // Finds the router (again): with "auto" by discovery, then its description
  // and its link.
  [[nodiscard]] std::wstring Start() override;
  [[nodiscard]] SourceReading Read(std::uint64_t nNowMs) override;

  [[nodiscard]] const std::wstring& DescriptionUrl() const noexcept {
    return m_device.m_strDescriptionUrl;
  }
  [[nodiscard]] const std::wstring& ControlUrl() const noexcept { return m_device.m_strControlUrl; }
  [[nodiscard]] const std::wstring& Udn() const noexcept { return m_device.m_strUdn; }

 private:
  enum class Addon { Unknown, Present, Absent };

  struct Device {
    std::wstring m_strDescriptionUrl;
    std::wstring m_strServiceType;
    std::wstring m_strControlUrl;
    std::wstring m_strUdn;
  };

  struct ActionResult {
    bool m_bOk = false;
    bool m_bUnknownAction = false;  // the router does not offer this action
    bool m_bNoAnswer = false;       // the exchange itself failed: timed out, refused, stopped
    std::wstring m_strError;
    SoapReply m_reply;
  };

  // Fills device from the description at strUrl; empty, else what went wrong.
  [[nodiscard]] std::wstring Describe(const std::wstring& strUrl, Device& device);
  // Takes device as the one asked from now on; one with another UDN starts
  // from nothing.
  void Adopt(const Device& device);
  // The description again, after a reading that left doubt; empty when the
  // same device still answers there, or when another one was adopted.
  [[nodiscard]] std::wstring CheckDevice();
  [[nodiscard]] SourceReading Fail(std::wstring strError);
  [[nodiscard]] ActionResult Call(const wchar_t* pszAction);
  // Empty when the router answered, whatever it said; else what went wrong.
  [[nodiscard]] std::wstring ReadLinkProperties(std::optional<std::uint64_t> nNowMs);
  [[nodiscard]] bool IsLinkKnown() const noexcept { return m_nMaxDown > 0 && m_nMaxUp > 0; }
  // Nothing when the router does not offer GetAddonInfos: its totals then serve.
  [[nodiscard]] std::optional<SourceReading> ReadAddon();
  [[nodiscard]] SourceReading ReadTotals(std::uint64_t nNowMs);
  // Something in a reading did not add up: the device is looked at again,
  // and its link asked again, before the next reading.
  void Doubt() noexcept;

  CHttpClient m_http;
  HANDLE m_hCancel;
  SsdpTarget m_ssdp;
  std::wstring m_strRouter;
  Device m_device;
  bool m_bStarted = false;
  bool m_bCheckDevice = false;
  unsigned m_nFailedReadings = 0;
  Addon m_addon = Addon::Unknown;
  // When the link is asked next; nothing: at the next reading. Asked at a
  // start, when the time is not known yet, it is due one period after the
  // first reading.
  std::optional<std::uint64_t> m_nLinkDueMs;
  bool m_bLinkAskedAtStart = false;
  std::optional<std::uint64_t> m_nLastReadMs;
  std::int64_t m_nMaxDown = 0;  // bytes per second; 0 unknown
  std::int64_t m_nMaxUp = 0;
  CCounterRateTracker m_sent{CounterWidth::Bits32OrWider};
  CCounterRateTracker m_received{CounterWidth::Bits32OrWider};
};
