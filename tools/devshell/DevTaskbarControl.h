#pragma once
// Finding the running development taskbar and handing it commands, for the
// program's own command line, for scripts through it, and for tests.

#include <windows.h>

#include "devshell/DevTaskbarCommand.h"

// The development taskbar's window, or null (Wine's own taskbar is never it).
[[nodiscard]] HWND FindDevTaskbar() noexcept;

// A development taskbar other than hNotThis, within the timeout; null if none came.
[[nodiscard]] HWND WaitForDevTaskbar(DWORD nTimeoutMs, HWND hNotThis = nullptr) noexcept;

// True when the taskbar took the command.
[[nodiscard]] bool SendDevTaskbarCommand(HWND hTaskbar, DevTaskbarCommand command,
                                         int nValue) noexcept;
