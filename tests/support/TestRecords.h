#pragma once
// The one traffic record the tests publish, poll and decode (and a numbered
// one for writers that rewrite it again and again), and the RECT
// comparisons the placement tests use. Pure: built natively and for Windows.

#include <cstdint>
#include <ostream>

#include "feed/PlatformTypes.h"
#include "common/SharedTrafficRecord.h"
#include "feed/TrafficState.h"

// Both rates with their full scales and colours, byte units, the download on
// the lower line; Sequence as given. Tests change single fields from here.
[[nodiscard]] constexpr SharedTrafficRecord MakeTrafficRecord(std::uint64_t nSequence) noexcept {
  SharedTrafficRecord record{};
  record.Sequence = nSequence;
  record.RateDown = 123456;
  record.RateUp = 7890;
  record.MaxDown = 1000000;
  record.MaxUp = 100000;
  record.ColorDown = 0x4E9AE6;  // red 78, green 154, blue 230
  record.ColorUp = 0x7EE444;    // red 126, green 228, blue 68
  record.ByteUnits = 1;
  record.DownOnLower = 1;
  return record;
}

// Write number n (from 1) of a writer that rewrites the record again and
// again: every field depends on n, differently, so a record put together
// from two writes never matches what its Sequence says. Both line orders and
// both unit modes occur.
[[nodiscard]] constexpr SharedTrafficRecord MakeNumberedTrafficRecord(std::uint64_t n) noexcept {
  SharedTrafficRecord record{};
  record.Sequence = n;
  record.RateDown = static_cast<std::int64_t>(n * 7);
  record.RateUp = -static_cast<std::int64_t>(n);
  record.MaxDown = static_cast<std::int64_t>(n * 3 + 1);
  record.MaxUp = static_cast<std::int64_t>(n ^ 0x5555);
  record.ColorDown = (n * 11) & 0xFFFFFF;
  record.ColorUp = (n * 13 + 5) & 0xFFFFFF;
  record.ByteUnits = n & 1;
  record.DownOnLower = (n >> 1) & 1;
  return record;
}

[[nodiscard]] constexpr bool SameRecord(const SharedTrafficRecord& a,
                                        const SharedTrafficRecord& b) noexcept {
  return a.Sequence == b.Sequence && a.RateDown == b.RateDown && a.RateUp == b.RateUp &&
         a.MaxDown == b.MaxDown && a.MaxUp == b.MaxUp && a.ColorDown == b.ColorDown &&
         a.ColorUp == b.ColorUp && a.ByteUnits == b.ByteUnits && a.DownOnLower == b.DownOnLower;
}

[[nodiscard]] constexpr bool SameTrafficState(const TrafficState& a,
                                              const TrafficState& b) noexcept {
  return a.m_nLastSequence == b.m_nLastSequence && a.m_bHasData == b.m_bHasData &&
         a.m_nRateLower == b.m_nRateLower && a.m_nRateUpper == b.m_nRateUpper &&
         a.m_nMaxLower == b.m_nMaxLower && a.m_nMaxUpper == b.m_nMaxUpper &&
         a.m_crLower == b.m_crLower && a.m_crUpper == b.m_crUpper &&
         a.m_bBitsMode == b.m_bBitsMode && a.m_bArrowsFlipped == b.m_bArrowsFlipped;
}

[[nodiscard]] inline bool operator==(const RECT& a, const RECT& b) noexcept {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline std::ostream& operator<<(std::ostream& os, const RECT& rc) {
  return os << '(' << rc.left << ", " << rc.top << ", " << rc.right << ", " << rc.bottom << ')';
}
