#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

#include "CounterDelta.h"

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

struct Reading {
  std::uint64_t value;
  std::uint64_t nowMs;
  std::uint64_t maxBytesPerSec;
  std::optional<std::int64_t> rate;
};

struct TrackerCase {
  const char* name;
  CounterWidth width;
  std::vector<Reading> readings;
};

const TrackerCase kTrackerCases[] = {
    {"first reading is only a baseline",
     CounterWidth::Bits64,
     {{100, 0, 0, std::nullopt}, {1100, 1000, 0, 1000}, {3100, 2000, 0, 2000}}},
    {"32-bit counter wraps without a spike",
     CounterWidth::Bits32OrWider,
     {{k2p32 - 1000, 0, 0, std::nullopt}, {1000, 1000, 0, 2000}, {3000, 2000, 0, 2000}}},
    {"router restart skips one sample",
     CounterWidth::Bits32OrWider,
     {{3'000'000'000, 0, 10'000'000, std::nullopt},
      {500, 1000, 10'000'000, std::nullopt},
      {10'500, 2000, 10'000'000, 10'000}}},
    {"wrap faster than the link allows is a restart",
     CounterWidth::Bits32OrWider,
     {{k2p32 - 5'000'000, 0, 1000, std::nullopt},
      {5'000'000, 1000, 1000, std::nullopt},
      {5'001'000, 2000, 1000, 1000}}},
    {"a very long pause falls back to the default wrap bound",
     CounterWidth::Bits32OrWider,
     {{k2p32 - 100, 0, 1000, std::nullopt}, {50, std::uint64_t{1} << 62, 1000, 0}}},
    {"counter seen above 32 bits no longer wraps",
     CounterWidth::Bits32OrWider,
     {{k2p32 + 5, 0, 0, std::nullopt},
      {k2p32 + 1005, 1000, 0, 1000},
      {100, 2000, 0, std::nullopt},
      {600, 3000, 0, 500}}},
    {"64-bit counter going back skips one sample",
     CounterWidth::Bits64,
     {{5000, 0, 0, std::nullopt}, {4000, 1000, 0, std::nullopt}, {6000, 2000, 0, 2000}}},
    {"same instant keeps the older baseline",
     CounterWidth::Bits64,
     {{0, 1000, 0, std::nullopt}, {500, 1000, 0, std::nullopt}, {2000, 2000, 0, 2000}}},
    {"clock going back starts over",
     CounterWidth::Bits64,
     {{0, 5000, 0, std::nullopt}, {500, 1000, 0, std::nullopt}, {1500, 2000, 0, 1000}}},
};

TEST(CounterRateTracker, TurnsReadingsIntoRatesAndSkipsDiscontinuities) {
  for (const TrackerCase& c : kTrackerCases) {
    CCounterRateTracker tracker(c.width);
    for (std::size_t i = 0; i < c.readings.size(); ++i) {
      const Reading& r = c.readings[i];
      EXPECT_EQ(tracker.Add(r.value, r.nowMs, r.maxBytesPerSec), r.rate)
          << c.name << ", reading " << i;
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
