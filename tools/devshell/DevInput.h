#pragma once
// Input as a user gives it: through the system's input queue (SendInput), so
// that it reaches whatever window is under the cursor, in whichever process,
// by hit-testing and capture.

#include <windows.h>

// Moves the mouse to the screen point, with the given buttons (MOUSEEVENTF_*)
// pressed or released there; false when the input was not taken.
[[nodiscard]] bool SendMouseAt(POINT ptScreen, DWORD dwButtons = 0) noexcept;
[[nodiscard]] bool SendKey(WORD wVirtualKey) noexcept;

// The visible popup menu of that process, within the timeout, or null.
[[nodiscard]] HWND WaitForPopupMenu(DWORD nProcessId, DWORD nTimeoutMs) noexcept;
