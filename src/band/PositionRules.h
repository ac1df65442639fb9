#pragma once
// Whether a saved horizontal place still fits the taskbar, and where the band
// goes vertically when it is restored there.

#include "feed/PlatformTypes.h"

inline constexpr LONG kMinVisibleBandWidth = 30;

// Valid when at least 30 pixels of the band lie right of the taskbar's left
// edge and the band's left edge lies left of the taskbar's right edge:
// 30 - nBandWidth <= nPosX < nTaskbarWidth.
[[nodiscard]] bool IsSavedPosXValid(LONG nPosX, LONG nBandWidth, LONG nTaskbarWidth) noexcept;

// The top that centres the band vertically in the taskbar, truncated toward
// zero as integer division does, so a band taller than the taskbar by 3 gets -1.
[[nodiscard]] LONG ComputeCenteredTop(LONG nTaskbarHeight, LONG nBandHeight) noexcept;
