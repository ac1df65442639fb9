#pragma once
// Made-up but plausible household traffic for the demo source: idle
// stretches, short browsing bursts, downloads that ramp up, hold and stop,
// and upload-heavy calls. The same seed always gives the same stream, step
// by step, whatever the clock says.

#include <cstdint>

#include "publisher/record/TrafficSample.h"

inline constexpr std::int64_t kDemoMaxDown = 12'500'000;  // 100 Mbit/s
inline constexpr std::int64_t kDemoMaxUp = 5'000'000;     // 40 Mbit/s

class CDemoTraffic {
 public:
  explicit CDemoTraffic(std::uint64_t nSeed) noexcept : m_nState(nSeed) {}

  [[nodiscard]] TrafficSample Next() noexcept;

 private:
  enum class Phase { Idle, Burst, Download, Call };

  std::uint64_t Random() noexcept;
  // Uniform in [nLow, nHigh].
  std::int64_t Between(std::int64_t nLow, std::int64_t nHigh) noexcept;
  void StartPhase() noexcept;

  std::uint64_t m_nState;
  Phase m_phase = Phase::Idle;
  int m_nStep = 0;
  int m_nLength = 0;
  std::int64_t m_nTarget = 0;
};
