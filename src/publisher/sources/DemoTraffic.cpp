#include "publisher/sources/DemoTraffic.h"

std::uint64_t CDemoTraffic::Random() noexcept {
  // splitmix64: tiny, and the same on every compiler and library.
  std::uint64_t z = (m_nState += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::int64_t CDemoTraffic::Between(std::int64_t nLow, std::int64_t nHigh) noexcept {
  const std::uint64_t nSpan = static_cast<std::uint64_t>(nHigh - nLow) + 1;
  return nLow + static_cast<std::int64_t>(Random() % nSpan);
}

void CDemoTraffic::StartPhase() noexcept {
  const std::int64_t nPick = Between(0, 99);
  m_nStep = 0;
  if (nPick < 40) {
    m_phase = Phase::Idle;
    m_nLength = static_cast<int>(Between(3, 8));
  } else if (nPick < 70) {
    m_phase = Phase::Burst;
    m_nLength = static_cast<int>(Between(2, 4));
  } else if (nPick < 90) {
    m_phase = Phase::Download;
    m_nLength = static_cast<int>(Between(12, 25));
    m_nTarget = kDemoMaxDown * Between(75, 95) / 100;
  } else {
    m_phase = Phase::Call;
    m_nLength = static_cast<int>(Between(8, 15));
    m_nTarget = kDemoMaxUp * Between(30, 60) / 100;
  }
}

TrafficSample CDemoTraffic::Next() noexcept {
  if (m_nStep >= m_nLength) {
    StartPhase();
  }
  TrafficSample sample;
  sample.m_nMaxDown = kDemoMaxDown;
  sample.m_nMaxUp = kDemoMaxUp;
  switch (m_phase) {
    case Phase::Idle:
      sample.m_nRateDown = Between(5'000, 60'000);
      sample.m_nRateUp = Between(2'000, 20'000);
      break;
    case Phase::Burst:
      sample.m_nRateDown = kDemoMaxDown * Between(20, 70) / 100;
      sample.m_nRateUp = kDemoMaxUp * Between(2, 10) / 100;
      break;
    case Phase::Download: {
      constexpr int kRampSteps = 4;
      const int nLeft = m_nLength - m_nStep;
      std::int64_t nLevel = m_nTarget;
      if (m_nStep < kRampSteps) {
        nLevel = m_nTarget * (m_nStep + 1) / (kRampSteps + 1);
      }
      if (nLeft <= 1) {
        nLevel = m_nTarget / 4;
      }
      const std::int64_t nJitter = nLevel / 20;
      sample.m_nRateDown = nLevel + Between(-nJitter, nJitter);
      // Acknowledgements ride upstream at about 1.5 % of the download.
      sample.m_nRateUp = sample.m_nRateDown * 15 / 1000 + Between(1'000, 5'000);
      break;
    }
    case Phase::Call:
      sample.m_nRateUp = m_nTarget + Between(-m_nTarget / 10, m_nTarget / 10);
      sample.m_nRateDown = kDemoMaxDown * Between(10, 20) / 100;
      break;
  }
  ++m_nStep;
  return sample;
}
