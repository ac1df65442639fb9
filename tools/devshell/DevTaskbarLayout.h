#pragma once
// Where the development taskbar puts itself and its parts: a bar across the
// bottom of the screen, a notification area at its right end and a few app
// buttons in the middle, as on Windows 11. Numbers only.

#include <vector>

#include "feed/PlatformTypes.h"

inline constexpr int kDevTaskbarDefaultHeight = 48;
inline constexpr int kDevTaskbarMinHeight = 24;
inline constexpr int kDevTaskbarMaxHeight = 200;
inline constexpr int kDevNotifyDefaultWidth = 220;
inline constexpr int kDevNotifyMinWidth = 40;
inline constexpr int kDevAppButtons = 6;
inline constexpr int kDevAppButtonGap = 4;

struct DevTaskbarLayout {
  RECT m_rcTaskbar;             // screen
  RECT m_rcNotify;              // relative to the taskbar
  std::vector<RECT> m_buttons;  // relative to the taskbar
};

// nNotifyLeft is a screen x; it is kept at least kDevNotifyMinWidth short of
// the right edge and not left of the screen's left edge.
[[nodiscard]] DevTaskbarLayout LayOutDevTaskbar(int nScreenWidth, int nScreenHeight, int nHeight,
                                                int nNotifyLeft);

[[nodiscard]] int DefaultNotifyLeft(int nScreenWidth) noexcept;
[[nodiscard]] bool IsValidTaskbarHeight(int nHeight) noexcept;
