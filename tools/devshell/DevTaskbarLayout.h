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

// nLeft and nNotifyLeft are screen x: the bar runs from nLeft to the screen's
// right edge, and the notification area starts at nNotifyLeft, kept inside the
// bar and at least kDevNotifyMinWidth short of its right end.
[[nodiscard]] DevTaskbarLayout LayOutDevTaskbar(int nScreenWidth, int nScreenHeight, int nHeight,
                                                int nNotifyLeft, int nLeft = 0);

[[nodiscard]] int DefaultNotifyLeft(int nScreenWidth) noexcept;
[[nodiscard]] bool IsValidTaskbarHeight(int nHeight) noexcept;
