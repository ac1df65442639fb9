#pragma once
// Turns what the poll found in the shared section into the values on display.
// No platform call: the section access around it lives in band/.

#include <cstdint>

#include "feed/PlatformTypes.h"
#include "common/SharedTrafficRecord.h"
#include "feed/TrafficState.h"

// 0x00RRGGBB (bits 24..63 ignored) to COLORREF, which keeps red in the low byte.
[[nodiscard]] constexpr COLORREF ColorFromRecord(std::uint64_t nColor) noexcept {
  const auto nRed = static_cast<COLORREF>((nColor >> 16) & 0xFF);
  const auto nGreen = static_cast<COLORREF>((nColor >> 8) & 0xFF);
  const auto nBlue = static_cast<COLORREF>(nColor & 0xFF);
  return nRed | (nGreen << 8) | (nBlue << 16);
}

// The no-data state. The arrow orientation and the last sequence taken survive:
// a publisher that comes back with the same sequence is not taken again.
void ResetTrafficState(TrafficState& state) noexcept;

// pRecord is a copy of the section's record, or null when there is no section
// or no view. Updates state and returns whether the band must be repainted.
[[nodiscard]] bool DecodeTrafficRecord(const SharedTrafficRecord* pRecord,
                                       TrafficState& state) noexcept;
