#pragma once
// Turning two readings of a byte counter into a rate. Counters wrap (32-bit
// ones within an hour at a few MB/s), reset when a device restarts or its WAN
// line reconnects, and two readings may share a timestamp; none of that may
// show up as a spike. Where a reading leaves doubt, no rate is given: one
// reading skipped is harmless, a rate that did not happen is not.

#include <cstdint>
#include <optional>

enum class CounterWidth {
  Bits64,         // a lower reading is always a reset
  Bits32OrWider,  // 32-bit until a reading of 2^32 or more proves it wider
};

// 2^32: the first value a 32-bit counter cannot hold.
inline constexpr std::uint64_t kCounterWrap32 = std::uint64_t{1} << 32;

// The bytes counted between two readings, or nothing when the counter went
// back (reset) instead of wrapping. A 32-bit wrap is believed only while the
// bytes it implies stay at or below nMaxPlausibleDelta.
[[nodiscard]] std::optional<std::uint64_t> CounterDelta(std::uint64_t nPrev, std::uint64_t nCur,
                                                        bool bWide32,
                                                        std::uint64_t nMaxPlausibleDelta) noexcept;

// The most bytes a link of nLinkBytesPerSec can plausibly carry in nElapsedMs:
// twice its capacity (room for a reading that came late, or a router that
// counts its own overhead), 2 * link * elapsed / 1000 rounded down, the product
// saturated at 2^64 - 1. Nothing when the link speed is unknown (0).
[[nodiscard]] std::optional<std::uint64_t> LinkDeltaBound(std::uint64_t nLinkBytesPerSec,
                                                          std::uint64_t nElapsedMs) noexcept;

// Is a rate one that the link can carry: at most twice its speed? Every rate
// is, while the link speed is unknown (0).
[[nodiscard]] bool IsPlausibleRate(std::int64_t nRate, std::uint64_t nLinkBytesPerSec) noexcept;

// Bytes per second, rounded to nearest; nothing for a zero interval.
[[nodiscard]] std::optional<std::int64_t> RateFromDelta(std::uint64_t nDelta,
                                                        std::uint64_t nElapsedMs) noexcept;

// Two readings further apart than this (longer than the longest interval and
// a reading's exchanges can explain: the PC slept) give no rate; the rate
// would be an average over the sleep, shown as if it were now.
inline constexpr std::uint64_t kLongestReadingGapMs = 150'000;

// What the last reading given to a tracker was.
enum class CounterStep {
  Baseline,     // the first reading, or the first after Forget or a clock going back
  SameInstant,  // no time passed since the baseline, which is kept
  Rate,         // a rate from this reading and the one before
  Reset,        // the counter went back, and no wrap is plausible
  Implausible,  // more bytes than the link can carry in the interval
};

// Keeps the last reading of one counter and gives a rate for each new one.
class CCounterRateTracker {
 public:
  explicit CCounterRateTracker(CounterWidth width) noexcept : m_width(width) {}

  // nLinkBytesPerSec (0 = unknown) bounds what a reading may imply: a rate
  // above twice the link is no rate, and a counter that went back counts as
  // a 32-bit wrap only while the link is known and could have carried the
  // bytes that wrap implies. Without a known link a decrease is a reset.
  // Nothing on the first reading, after a reset or doubt, or for a zero
  // interval; each of those but the last makes this reading the new baseline.
  [[nodiscard]] std::optional<std::int64_t> Add(std::uint64_t nValue, std::uint64_t nNowMs,
                                                std::uint64_t nLinkBytesPerSec = 0) noexcept;
  // The next reading is a baseline; what was learnt of the width stays.
  void Forget() noexcept { m_bHasPrev = false; }
  [[nodiscard]] bool IsWide() const noexcept { return m_bWide; }
  [[nodiscard]] CounterStep LastStep() const noexcept { return m_lastStep; }

 private:
  CounterWidth m_width;
  bool m_bHasPrev = false;
  bool m_bWide = false;
  std::uint64_t m_nPrev = 0;
  std::uint64_t m_nPrevMs = 0;
  CounterStep m_lastStep = CounterStep::Baseline;
};
