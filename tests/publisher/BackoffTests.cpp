#include <gtest/gtest.h>

#include <tuple>

#include "Backoff.h"

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

}  // namespace
