#pragma once
// The real band as seen from outside its process: found in the window tree
// of the development taskbar, and driven through its right-click menu with
// real input.

#include <windows.h>

inline constexpr wchar_t kBandTitle[] = L"Nimbrel";
// The band's hidden top-level window, which hears the system's broadcasts,
// power and session events for it.
inline constexpr wchar_t kBandWatchClass[] = L"NimbrelTaskbarWatch";

// The band docked in the taskbar (its child titled "Nimbrel"), or null.
[[nodiscard]] HWND FindDockedBand(HWND hTaskbar) noexcept;
[[nodiscard]] HWND WaitForDockedBand(HWND hTaskbar, DWORD nTimeoutMs) noexcept;
// True once the band has presented a frame for the taskbar to show: it docks
// first and builds its surface after, which under Wine takes a while.
[[nodiscard]] bool WaitForBandFrame(HWND hBand, DWORD nTimeoutMs);

// The commands of the band's menu, by their place among the commands
// (separators are not counted).
enum class BandMenuCommand { Locked = 1, Autostart = 2, Close = 3 };

// Right-clicks the middle of the band and picks the command with the
// keyboard; false when no menu came up or it did not go away.
[[nodiscard]] bool ChooseFromBandMenu(HWND hBand, BandMenuCommand command) noexcept;

// The band's watch window (its process's one of class kBandWatchClass), or null.
[[nodiscard]] HWND FindBandWatch(HWND hBand) noexcept;

// Makes the composition stand-in in the band's process lose its device
// (StandInControl.h): the band's next frame fails as after a removal. False
// when that process has no stand-in.
[[nodiscard]] bool LoseBandDevice(HWND hBand) noexcept;
