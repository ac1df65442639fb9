#pragma once
// Turning two readings of a byte counter into a rate. Counters wrap (32-bit
// ones within an hour at a few MB/s), reset when a device restarts, and two
// readings may share a timestamp; none of that may show up as a spike.

#include <cstdint>
#include <optional>

enum class CounterWidth {
  Bits64,         // a lower reading is always a reset
  Bits32OrWider,  // 32-bit until a reading above 2^32-1 proves it wider
};

// The bytes counted between two readings, or nothing when the counter went
// back (reset) instead of wrapping. A 32-bit wrap is believed only while the
// bytes it implies stay below maxPlausibleDelta.
[[nodiscard]] std::optional<std::uint64_t> CounterDelta(std::uint64_t nPrev, std::uint64_t nCur,
                                                        bool bWide32,
                                                        std::uint64_t nMaxPlausibleDelta) noexcept;

// Bytes per second, rounded to nearest; nothing for a zero interval.
[[nodiscard]] std::optional<std::int64_t> RateFromDelta(std::uint64_t nDelta,
                                                        std::uint64_t nElapsedMs) noexcept;

// Keeps the last reading of one counter and gives a rate for each new one.
class CCounterRateTracker {
 public:
  explicit CCounterRateTracker(CounterWidth width) noexcept : m_width(width) {}

  // nMaxBytesPerSec (0 = unknown) bounds what a 32-bit wrap may imply.
  // Nothing on the first reading, after a reset, or for a zero interval.
  [[nodiscard]] std::optional<std::int64_t> Add(std::uint64_t nValue, std::uint64_t nNowMs,
                                                std::uint64_t nMaxBytesPerSec = 0) noexcept;
  void Forget() noexcept { m_bHasPrev = false; }
  [[nodiscard]] bool IsWide() const noexcept { return m_bWide; }

 private:
  CounterWidth m_width;
  bool m_bHasPrev = false;
  bool m_bWide = false;
  std::uint64_t m_nPrev = 0;
  std::uint64_t m_nPrevMs = 0;
};
