#include <gtest/gtest.h>

#include <vector>

#include "publisher/sources/DemoTraffic.h"

namespace {

std::vector<TrafficSample> Steps(std::uint64_t nSeed, int nSteps) {
  CDemoTraffic demo(nSeed);
  std::vector<TrafficSample> samples;
  for (int i = 0; i < nSteps; ++i) samples.push_back(demo.Next());
  return samples;
}

bool Same(const std::vector<TrafficSample>& a, const std::vector<TrafficSample>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].m_nRateDown != b[i].m_nRateDown || a[i].m_nRateUp != b[i].m_nRateUp) return false;
  }
  return true;
}

TEST(DemoTraffic, SameSeedGivesTheSameStream) {
  for (std::uint64_t nSeed : {0ull, 1ull, 42ull, 0xFFFFFFFFFFFFFFFFull}) {
    EXPECT_TRUE(Same(Steps(nSeed, 500), Steps(nSeed, 500))) << "seed " << nSeed;
  }
}

TEST(DemoTraffic, DifferentSeedsGiveDifferentStreams) {
  EXPECT_FALSE(Same(Steps(1, 50), Steps(2, 50)));
  EXPECT_FALSE(Same(Steps(0, 50), Steps(42, 50)));
}

TEST(DemoTraffic, RatesStayWithinTheFixedFullScale) {
  for (std::uint64_t nSeed = 0; nSeed < 20; ++nSeed) {
    for (const TrafficSample& s : Steps(nSeed, 1000)) {
      ASSERT_EQ(s.m_nMaxDown, kDemoMaxDown);
      ASSERT_EQ(s.m_nMaxUp, kDemoMaxUp);
      ASSERT_GE(s.m_nRateDown, 0);
      ASSERT_GE(s.m_nRateUp, 0);
      ASSERT_LE(s.m_nRateDown, kDemoMaxDown);
      ASSERT_LE(s.m_nRateUp, kDemoMaxUp);
    }
  }
}

TEST(DemoTraffic, MovesBetweenIdleAndBusy) {
  const std::vector<TrafficSample> samples = Steps(7, 600);
  int nIdle = 0;
  int nBusy = 0;
  int nChanges = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (samples[i].m_nRateDown < 100'000) ++nIdle;
    if (samples[i].m_nRateDown > kDemoMaxDown / 2) ++nBusy;
    if (i > 0 && samples[i].m_nRateDown != samples[i - 1].m_nRateDown) ++nChanges;
  }
  EXPECT_GT(nIdle, 60);
  EXPECT_GT(nBusy, 60);
  EXPECT_GT(nChanges, 550);
}

TEST(DemoTraffic, DownloadRampsUpBeforeItHolds) {
  // Somewhere in a long run there are four rising steps ending above 70 % of full scale.
  const std::vector<TrafficSample> samples = Steps(3, 2000);
  bool bFound = false;
  for (std::size_t i = 4; i < samples.size() && !bFound; ++i) {
    bool bRising = true;
    for (std::size_t k = i - 3; k <= i; ++k)
      bRising = bRising && samples[k].m_nRateDown > samples[k - 1].m_nRateDown;
    bFound = bRising && samples[i].m_nRateDown > kDemoMaxDown * 7 / 10 &&
             samples[i - 4].m_nRateDown < kDemoMaxDown / 4;
  }
  EXPECT_TRUE(bFound);
}

}  // namespace
