#pragma once
// One reading of a source, before it becomes a record. Rates and full-scale
// values are bytes per second; a negative rate has no value, a full scale of
// 0 or less draws no bar.

#include <cstdint>

struct TrafficSample {
  std::int64_t m_nRateDown = -1;
  std::int64_t m_nRateUp = -1;
  std::int64_t m_nMaxDown = 0;
  std::int64_t m_nMaxUp = 0;
};

// What a failing source publishes: both lines read "No Data".
inline constexpr TrafficSample kNoDataSample{};
