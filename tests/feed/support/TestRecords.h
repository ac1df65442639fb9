#pragma once
// The one traffic record the tests publish, poll and decode, and the RECT
// comparisons the placement tests use. Pure: built natively and for Windows.

#include <cstdint>
#include <ostream>

#include "feed/PlatformTypes.h"
#include "feed/SharedTrafficRecord.h"

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

[[nodiscard]] inline bool operator==(const RECT& a, const RECT& b) noexcept {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline std::ostream& operator<<(std::ostream& os, const RECT& rc) {
  return os << '(' << rc.left << ", " << rc.top << ", " << rc.right << ", " << rc.bottom << ')';
}
