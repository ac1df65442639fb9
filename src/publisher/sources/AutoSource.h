#pragma once
// What a publisher started without --source shows: the router's figures when
// a router answers (found by discovery, or at --router URL), otherwise this
// PC's own adapters. On the adapters it looks for the router again every few
// minutes and takes it as soon as one answers; a router that keeps failing
// for minutes is left for the adapters again. Each choice is told in one
// line, so the log says where the figures on the band come from.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "publisher/sources/AdapterSource.h"
#include "publisher/upnp/HttpClient.h"
#include "publisher/output/PublisherOutput.h"
#include "publisher/sources/RouterSource.h"
#include "publisher/upnp/SsdpDiscovery.h"
#include "publisher/sources/TrafficSource.h"

inline constexpr std::uint64_t kRouterSearchPeriodMs = 300'000;
// Longer than a router takes to reboot, so a reboot does not change sources.
inline constexpr std::uint64_t kRouterGiveUpMs = 180'000;

struct AutoSourceSettings {
  std::wstring m_strRouter = L"auto";  // "auto" or the description's URL
  std::wstring m_strAdapter;           // empty: every adapter of this PC's own
  DWORD m_dwDeadlineMs = kHttpDeadlineMs;
  HANDLE m_hCancel = nullptr;
  SsdpTarget m_ssdp = kSsdpMulticast;
  std::uint64_t m_nSearchPeriodMs = kRouterSearchPeriodMs;
  std::uint64_t m_nGiveUpMs = kRouterGiveUpMs;
};

class CAutoSource final : public ITrafficSource {
 public:
  CAutoSource(AutoSourceSettings settings, COutputSink& output);

  // Never fails: without a router the adapters serve, and a failing adapter
  // table is a failed reading like any other.
  [[nodiscard]] std::wstring Start() override;
  [[nodiscard]] SourceReading Read(std::uint64_t nNowMs) override;

  [[nodiscard]] bool OnRouter() const noexcept { return m_bOnRouter; }

 private:
  // A fresh router source, started; null (with strError) when none answered.
  [[nodiscard]] std::unique_ptr<CRouterSource> FindRouter(std::wstring& strError);
  void UseAdapters(std::optional<std::uint64_t> nNowMs);
  [[nodiscard]] SourceReading ReadAdapters(std::uint64_t nNowMs);

  AutoSourceSettings m_settings;
  COutputSink& m_output;
  std::unique_ptr<CRouterSource> m_pRouter;
  std::unique_ptr<CAdapterSource> m_pAdapters;
  bool m_bOnRouter = false;
  bool m_bAdaptersStarted = false;
  // On the adapters: when the router is looked for next; nothing: at the
  // next reading that knows the time (one period after it).
  std::optional<std::uint64_t> m_nNextSearchMs;
  // On the router: since when its readings have failed without a break.
  std::optional<std::uint64_t> m_nFailingSinceMs;
};
