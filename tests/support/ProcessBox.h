#pragma once
// Message boxes of another process, dealt with from outside: find the first
// visible one, read its caption and text, press its OK button.

#include <windows.h>

#include <string>

struct ProgramBox {
  HWND m_hWnd = nullptr;
  std::wstring m_caption;
  std::wstring m_text;
};

// The first visible message box of the process within the timeout; gives up
// sooner when hProcess has ended.
[[nodiscard]] ProgramBox WaitForProcessBox(DWORD dwProcessId, HANDLE hProcess, DWORD nTimeoutMs);
void DismissBox(const ProgramBox& box) noexcept;
