#pragma once
// Which interfaces count as "this PC's traffic" and their summed counters.
// The Windows side only copies the interface table into InterfaceCounters.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "publisher/sources/AdapterKind.h"
#include "publisher/sources/CounterDelta.h"
#include "publisher/record/TrafficSample.h"

struct AdapterTotals {
  std::vector<std::uint64_t> m_luids;  // ascending: which interfaces were summed
  std::uint64_t m_nInOctets = 0;
  std::uint64_t m_nOutOctets = 0;
  std::uint64_t m_nMaxDown = 0;  // bytes per second
  std::uint64_t m_nMaxUp = 0;
};

// strName empty: every interface that counts as this PC's own traffic
// (ClassifyAdapter), their link speeds summed for the full scale. Otherwise
// the one whose alias or description matches (case insensitive), whatever
// its kind and state. Nothing when nothing matched the name.
[[nodiscard]] std::optional<AdapterTotals> SumAdapters(
    const std::vector<InterfaceCounters>& interfaces, std::wstring_view strName);

// Rates from successive totals. A change in which interfaces are summed, a
// counter that went back, or readings too far apart (kLongestReadingGapMs)
// skip one sample instead of producing a spike or an average over a sleep.
class CAdapterRateTracker {
 public:
  [[nodiscard]] std::optional<TrafficSample> Add(const AdapterTotals& totals,
                                                 std::uint64_t nNowMs) noexcept;
  // After a failed reading: the next rate comes from two good ones.
  void Forget() noexcept;

 private:
  std::vector<std::uint64_t> m_luids;
  std::optional<std::uint64_t> m_nLastMs;
  CCounterRateTracker m_down{CounterWidth::Bits64};
  CCounterRateTracker m_up{CounterWidth::Bits64};
};
