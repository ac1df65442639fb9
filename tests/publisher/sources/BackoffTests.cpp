#include <gtest/gtest.h>

#include <tuple>

#include "publisher/sources/Backoff.h"

namespace {

TEST(BackoffDelay, DoublesFromTheIntervalUpToHalfAMinute) {
  static constexpr std::tuple<std::uint32_t, unsigned, std::uint32_t> kCases[] = {
      {1000, 0, 1000},           {1000, 1, 1000},   {1000, 2, 2000},   {1000, 3, 4000},
      {1000, 5, 16000},          {1000, 6, 30000},  {1000, 60, 30000}, {250, 3, 1000},
      {100, 4000000000u, 30000}, {45000, 1, 45000}, {45000, 9, 45000}, {60000, 3, 60000},
  };
  for (const auto& [nInterval, nFailures, nExpected] : kCases) {
    EXPECT_EQ(BackoffDelayMs(nInterval, nFailures), nExpected)
        << nInterval << " ms after " << nFailures;
  }
}

TEST(BackoffDelay, IsCappedAtExactlyHalfAMinuteUnlessTheIntervalIsLonger) {
  ASSERT_EQ(kMaxBackoffMs, 30'000u);
  static constexpr std::tuple<std::uint32_t, unsigned, std::uint32_t> kCases[] = {
      // Doubling that reaches the cap just below, at and just above it.
      {14'999, 2, 29'998},
      {15'000, 2, 30'000},
      {15'001, 2, 30'000},
      {7'500, 3, 30'000},
      {7'501, 3, 30'000},
      // An interval at the cap, or beyond it, is the delay itself.
      {29'999, 1, 29'999},
      {29'999, 2, 30'000},
      {30'000, 1, 30'000},
      {30'000, 2, 30'000},
      {30'001, 1, 30'001},
      {30'001, 2, 30'001},
      // The first failure waits one interval, as a reading does.
      {1'000, 0, 1'000},
      {1'000, 1, 1'000},
  };
  for (const auto& [nInterval, nFailures, nExpected] : kCases) {
    EXPECT_EQ(BackoffDelayMs(nInterval, nFailures), nExpected)
        << nInterval << " ms after " << nFailures;
  }
}

}  // namespace
