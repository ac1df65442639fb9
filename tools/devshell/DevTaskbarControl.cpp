#include "devshell/DevTaskbarControl.h"

namespace {
constexpr DWORD kCommandTimeoutMs = 5000;
constexpr DWORD kPollMs = 20;
}  // namespace

HWND FindDevTaskbar() noexcept {
  HWND hWnd = nullptr;
  while ((hWnd = FindWindowExW(nullptr, hWnd, kDevTaskbarClass, nullptr)) != nullptr) {
    if (GetPropW(hWnd, kDevTaskbarProperty) != nullptr) {
      return hWnd;
    }
  }
  return nullptr;
}

HWND WaitForDevTaskbar(DWORD nTimeoutMs, HWND hNotThis) noexcept {
  const ULONGLONG nEnd = GetTickCount64() + nTimeoutMs;
  for (;;) {
    HWND hWnd = FindDevTaskbar();
    if (hWnd != nullptr && hWnd != hNotThis) {
      return hWnd;
    }
    if (GetTickCount64() >= nEnd) {
      return nullptr;
    }
    Sleep(kPollMs);
  }
}

bool SendDevTaskbarCommand(HWND hTaskbar, DevTaskbarCommand command, int nValue) noexcept {
  static const UINT s_uMessage = RegisterWindowMessageW(kDevTaskbarCommandMessage);
  DWORD_PTR nResult = 0;
  return hTaskbar != nullptr &&
         SendMessageTimeoutW(hTaskbar, s_uMessage, static_cast<WPARAM>(command),
                             static_cast<LPARAM>(nValue), SMTO_ABORTIFHUNG, kCommandTimeoutMs,
                             &nResult) != 0 &&
         nResult == static_cast<DWORD_PTR>(kDevTaskbarDone);
}
