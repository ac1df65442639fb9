#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

#include "publisher/sources/CounterDelta.h"

namespace {

constexpr std::uint64_t k2p32 = std::uint64_t{1} << 32;
constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();

struct DeltaCase {
  const char* name;
  std::uint64_t prev;
  std::uint64_t cur;
  bool wrap32;
  std::uint64_t maxDelta;
  std::optional<std::uint64_t> expected;
};

constexpr DeltaCase kDeltaCases[] = {
    {"forward", 1000, 1500, true, kNoLimit, 500},
    {"unchanged", 7, 7, true, kNoLimit, 0},
    {"32-bit wrap near the top", k2p32 - 100, 50, true, kNoLimit, 150},
    {"32-bit wrap to exactly zero", k2p32 - 1, 0, true, kNoLimit, 1},
    {"wrap larger than plausible is a reset", k2p32 - 100, 50, true, 149, std::nullopt},
    {"wrap at the plausible limit", k2p32 - 100, 50, true, 150, 150},
    {"64-bit counter going back is a reset", 5'000'000, 10, false, kNoLimit, std::nullopt},
    {"wide value going back is a reset even when 32-bit wrap is allowed", k2p32 + 10, 5, true,
     kNoLimit, std::nullopt},
    {"wide forward", k2p32 - 10, k2p32 + 10, true, kNoLimit, 20},
    {"from 2^32 - 1 a 32-bit wrap is possible", k2p32 - 1, 5, true, kNoLimit, 6},
    {"from 2^32 going back is a reset", k2p32, 5, true, kNoLimit, std::nullopt},
};

TEST(CounterDelta, GivesBytesBetweenReadingsOrNothingOnReset) {
  for (const DeltaCase& c : kDeltaCases) {
    EXPECT_EQ(CounterDelta(c.prev, c.cur, c.wrap32, c.maxDelta), c.expected) << c.name;
  }
}

struct RateCase {
  const char* name;
  std::uint64_t delta;
  std::uint64_t elapsedMs;
  std::optional<std::int64_t> expected;
};

constexpr RateCase kRateCases[] = {
    {"one second", 123'456, 1000, 123'456},
    {"half a second doubles", 1000, 500, 2000},
    {"rounds to nearest", 1, 3, 333},
    {"rounds half up", 1, 2000, 1},
    {"nothing counted", 0, 1000, 0},
    {"zero interval gives nothing", 1000, 0, std::nullopt},
    {"huge delta saturates", std::numeric_limits<std::uint64_t>::max(), 1,
     std::numeric_limits<std::int64_t>::max()},
    {"huge delta over a long time stays exact", std::uint64_t{1} << 62, std::uint64_t{1} << 20,
     static_cast<std::int64_t>((std::uint64_t{1} << 42) * 1000)},
};

TEST(RateFromDelta, GivesBytesPerSecond) {
  for (const RateCase& c : kRateCases) {
    EXPECT_EQ(RateFromDelta(c.delta, c.elapsedMs), c.expected) << c.name;
  }
}

struct BoundCase {
  const char* name;
  std::uint64_t linkBytesPerSec;
  std::uint64_t elapsedMs;
  std::optional<std::uint64_t> expected;
};

constexpr BoundCase kBoundCases[] = {
    {"unknown link bounds nothing", 0, 1000, std::nullopt},
    {"twice the link over one second", 12'500'000, 1000, 25'000'000},
    {"rounded down", 1, 499, 0},
    {"just enough for a byte", 1, 500, 1},
    {"no time, no bytes", 12'500'000, 0, 0},
    {"largest link whose double fits", kNoLimit / 2, 1, (kNoLimit - 1) / 1000},
    {"a link too fast to double saturates", kNoLimit / 2 + 1, 1, kNoLimit / 1000},
    {"product just fitting", 1, kNoLimit / 2, (kNoLimit - 1) / 1000},
    {"product just overflowing saturates", 1, kNoLimit / 2 + 1, kNoLimit / 1000},
};

TEST(LinkDeltaBound, IsTwiceWhatTheLinkCarriesInTheInterval) {
  for (const BoundCase& c : kBoundCases) {
    EXPECT_EQ(LinkDeltaBound(c.linkBytesPerSec, c.elapsedMs), c.expected) << c.name;
  }
}

TEST(IsPlausibleRate, AcceptsUpToTwiceTheKnownLink) {
  struct Case {
    std::int64_t rate;
    std::uint64_t link;
    bool expected;
  };
  constexpr Case kCases[] = {
      {25'000'000, 12'500'000, true},
      {25'000'001, 12'500'000, false},
      {0, 12'500'000, true},
      {std::numeric_limits<std::int64_t>::max(), 0, true},
      {std::numeric_limits<std::int64_t>::max(), kNoLimit / 2 + 1, true},
      {std::numeric_limits<std::int64_t>::max(), kNoLimit / 4, false},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(IsPlausibleRate(c.rate, c.link), c.expected) << c.rate << " at " << c.link;
  }
}

struct Reading {
  std::uint64_t value;
  std::uint64_t nowMs;
  std::uint64_t linkBytesPerSec;
  std::optional<std::int64_t> rate;
  CounterStep step;
};

struct TrackerCase {
  const char* name;
  CounterWidth width;
  std::vector<Reading> readings;
};

using S = CounterStep;
constexpr std::uint64_t k100Mbit = 100'000'000 / 8;
constexpr std::uint64_t k40Mbit = 40'000'000 / 8;

const TrackerCase kTrackerCases[] = {
    {"first reading is only a baseline",
     CounterWidth::Bits64,
     {{100, 0, 0, std::nullopt, S::Baseline},
      {1100, 1000, 0, 1000, S::Rate},
      {3100, 2000, 0, 2000, S::Rate}}},
    {"an unchanged counter is a rate of 0, not nothing",
     CounterWidth::Bits32OrWider,
     {{7, 0, k100Mbit, std::nullopt, S::Baseline},
      {7, 1000, k100Mbit, 0, S::Rate},
      {7, 2000, 0, 0, S::Rate}}},
    {"32-bit counter wraps without a spike on a known link",
     CounterWidth::Bits32OrWider,
     {{k2p32 - 1000, 0, k100Mbit, std::nullopt, S::Baseline},
      {1000, 1000, k100Mbit, 2000, S::Rate},
      {3000, 2000, k100Mbit, 2000, S::Rate}}},
    {"without a link speed a decrease is a reset, not a wrap",
     CounterWidth::Bits32OrWider,
     {{k2p32 - 1000, 0, 0, std::nullopt, S::Baseline},
      {1000, 1000, 0, std::nullopt, S::Reset},
      {3000, 2000, 0, 2000, S::Rate}}},
    // A WAN reconnect resetting 3.5 GB received and 4.2 GB sent to almost
    // nothing: as wraps they would be about 780 MB/s down and 95 MB/s up.
    {"reconnect near 3.5 GB without a link is a reset",
     CounterWidth::Bits32OrWider,
     {{3'500'000'000, 0, 0, std::nullopt, S::Baseline},
      {5'000, 1000, 0, std::nullopt, S::Reset},
      {1'005'000, 2000, 0, 1'000'000, S::Rate}}},
    {"reconnect near 4.2 GB on a 40 Mbit/s uplink is a reset",
     CounterWidth::Bits32OrWider,
     {{4'200'000'000, 0, k40Mbit, std::nullopt, S::Baseline},
      {5'000, 1000, k40Mbit, std::nullopt, S::Reset}}},
    {"router restart skips one sample",
     CounterWidth::Bits32OrWider,
     {{3'000'000'000, 0, 10'000'000, std::nullopt, S::Baseline},
      {500, 1000, 10'000'000, std::nullopt, S::Reset},
      {10'500, 2000, 10'000'000, 10'000, S::Rate}}},
    {"wrap faster than the link allows is a restart",
     CounterWidth::Bits32OrWider,
     {{k2p32 - 5'000'000, 0, 1000, std::nullopt, S::Baseline},
      {5'000'000, 1000, 1000, std::nullopt, S::Reset},
      {5'001'000, 2000, 1000, 1000, S::Rate}}},
    // 1000 B/s over one second: at most 2000 bytes.
    {"wrap implying exactly twice the link is believed",
     CounterWidth::Bits32OrWider,
     {{k2p32 - 1000, 0, 1000, std::nullopt, S::Baseline}, {1000, 1000, 1000, 2000, S::Rate}}},
    {"wrap implying a byte more than twice the link is a reset",
     CounterWidth::Bits32OrWider,
     {{k2p32 - 1000, 0, 1000, std::nullopt, S::Baseline},
      {1001, 1000, 1000, std::nullopt, S::Reset}}},
    {"growth of exactly twice the link is a rate",
     CounterWidth::Bits64,
     {{0, 0, 1000, std::nullopt, S::Baseline}, {2000, 1000, 1000, 2000, S::Rate}}},
    {"growth of a byte more than twice the link is no rate",
     CounterWidth::Bits64,
     {{0, 0, 1000, std::nullopt, S::Baseline},
      {2001, 1000, 1000, std::nullopt, S::Implausible},
      {3001, 2000, 1000, 1000, S::Rate}}},
    {"growth without a link speed has no ceiling",
     CounterWidth::Bits64,
     {{0, 0, 0, std::nullopt, S::Baseline}, {4'000'000'000, 1000, 0, 4'000'000'000, S::Rate}}},
    {"a very long pause saturates the link bound",
     CounterWidth::Bits32OrWider,
     {{k2p32 - 100, 0, 1000, std::nullopt, S::Baseline},
      {50, std::uint64_t{1} << 62, 1000, 0, S::Rate}}},
    {"2^32 - 1 is still a 32-bit counter that may wrap",
     CounterWidth::Bits32OrWider,
     {{k2p32 - 1, 0, k100Mbit, std::nullopt, S::Baseline}, {9, 1000, k100Mbit, 10, S::Rate}}},
    {"2^32 proves the counter wider: going back is a reset",
     CounterWidth::Bits32OrWider,
     {{k2p32, 0, k100Mbit, std::nullopt, S::Baseline},
      {9, 1000, k100Mbit, std::nullopt, S::Reset}}},
    {"counter once seen above 32 bits no longer wraps",
     CounterWidth::Bits32OrWider,
     {{k2p32 + 5, 0, k100Mbit, std::nullopt, S::Baseline},
      {k2p32 + 1005, 1000, k100Mbit, 1000, S::Rate},
      {100, 2000, k100Mbit, std::nullopt, S::Reset},
      {k2p32 - 100, 3000, k100Mbit, std::nullopt, S::Implausible},
      {600, 4000, k100Mbit, std::nullopt, S::Reset},
      {1100, 5000, k100Mbit, 500, S::Rate}}},
    {"64-bit counter going back skips one sample",
     CounterWidth::Bits64,
     {{5000, 0, k100Mbit, std::nullopt, S::Baseline},
      {4000, 1000, k100Mbit, std::nullopt, S::Reset},
      {6000, 2000, k100Mbit, 2000, S::Rate}}},
    {"same instant keeps the older baseline",
     CounterWidth::Bits64,
     {{0, 1000, 0, std::nullopt, S::Baseline},
      {500, 1000, 0, std::nullopt, S::SameInstant},
      {2000, 2000, 0, 2000, S::Rate}}},
    {"clock going back starts over",
     CounterWidth::Bits64,
     {{0, 5000, 0, std::nullopt, S::Baseline},
      {500, 1000, 0, std::nullopt, S::Baseline},
      {1500, 2000, 0, 1000, S::Rate}}},
};

TEST(CounterRateTracker, TurnsReadingsIntoRatesAndSkipsDiscontinuities) {
  for (const TrackerCase& c : kTrackerCases) {
    CCounterRateTracker tracker(c.width);
    for (std::size_t i = 0; i < c.readings.size(); ++i) {
      const Reading& r = c.readings[i];
      EXPECT_EQ(tracker.Add(r.value, r.nowMs, r.linkBytesPerSec), r.rate)
          << c.name << ", reading " << i;
      EXPECT_EQ(tracker.LastStep(), r.step) << c.name << ", reading " << i;
    }
  }
}

TEST(CounterRateTracker, ForgetMakesTheNextReadingABaseline) {
  CCounterRateTracker tracker(CounterWidth::Bits64);
  EXPECT_EQ(tracker.Add(0, 0), std::nullopt);
  EXPECT_EQ(tracker.Add(1000, 1000), 1000);
  tracker.Forget();
  EXPECT_EQ(tracker.Add(1'000'000, 2000), std::nullopt);
  EXPECT_EQ(tracker.Add(1'000'500, 3000), 500);
}

}  // namespace
