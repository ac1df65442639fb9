#pragma once
// Where the band goes inside the taskbar, as plain arithmetic on rectangles.
// Screen rectangles come from GetWindowRect; the results are relative to the
// taskbar's top-left corner, because the band is the taskbar's child.

#include <optional>

#include "feed/PlatformTypes.h"

inline constexpr LONG kBandWidth = 95;
inline constexpr LONG kBandOffsetFromNotify = 100;  // band left edge to notification area left edge
inline constexpr LONG kBandMargin = 5;              // above, below and right of the band
inline constexpr LONG kMissingNotifyOffset = 200;   // notification area width assumed without one
inline constexpr LONG kManualDropGap = 20;

// The default band rectangle, relative to the taskbar: 95 pixels wide,
// ending 5 pixels short of the notification area, 5 pixels in from top and bottom.
[[nodiscard]] RECT ComputeDefaultRect(const RECT& rcTaskbar, LONG nNotifyLeft) noexcept;

// The band's new left edge, relative to the taskbar, for a cursor at client x
// nCursorX that took hold of the band at client x nGrabX. When clamping, the
// band stays right of the taskbar's left edge and left of the limit; the
// limit is applied last, so it wins when it is below 0.
[[nodiscard]] LONG ComputeDragLeft(LONG nCursorX, LONG nGrabX, LONG nBandLeft, LONG nBandWidth,
                                   LONG nTaskbarLeft, LONG nNotifyLeft, BOOL bClamp) noexcept;

// A drop leaving at least 20 pixels between the band's right edge and the
// notification area keeps the band where it is.
[[nodiscard]] bool IsManualDrop(LONG nNotifyLeft, LONG nBandRight) noexcept;

// A taskbar on the left or right edge of the screen: taller than it is wide.
// The band's place, 95 pixels along a horizontal taskbar, does not exist there.
[[nodiscard]] bool IsVerticalTaskbar(const RECT& rcTaskbar) noexcept;

// Whether a band placed by hand at nPosX (relative to the taskbar) keeps that
// place on a taskbar that changed: the saved-place check of a start holds (at
// least 30 pixels on the taskbar, the left edge before its right end), and the
// band does not reach into the notification area, whose left edge relative to
// the taskbar is nNotifyRelative (none: there is no such area).
[[nodiscard]] bool KeepsHandPlacement(LONG nPosX, LONG nBandWidth, LONG nTaskbarWidth,
                                      std::optional<LONG> nNotifyRelative) noexcept;
