#pragma once
// The values on display between polls. Written only by the poll, read only by
// the frame drawing; both run on the band's one thread.

#include <cstdint>

#include "feed/PlatformTypes.h"

inline constexpr COLORREF kDefaultLowerColor = 0xE69A4E;  // red 78, green 154, blue 230
inline constexpr COLORREF kDefaultUpperColor = 0x44E47E;  // red 126, green 228, blue 68

struct TrafficState {
  std::uint64_t m_nLastSequence = 0;
  BOOL m_bHasData = FALSE;
  std::int64_t m_nRateLower = -1;
  std::int64_t m_nRateUpper = -1;
  std::int64_t m_nMaxLower = -1;
  std::int64_t m_nMaxUpper = -1;
  COLORREF m_crLower = kDefaultLowerColor;
  COLORREF m_crUpper = kDefaultUpperColor;
  BOOL m_bBitsMode = FALSE;
  BOOL m_bArrowsFlipped = FALSE;
};
