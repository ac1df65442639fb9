#include "devshell/DevInput.h"

namespace {
constexpr wchar_t kMenuWindowClass[] = L"#32768";
}  // namespace

bool SendMouseAt(POINT ptScreen, DWORD dwButtons) noexcept {
  INPUT input{};
  input.type = INPUT_MOUSE;
  // +1: the absolute scale maps 65536 onto the screen, and without it the
  // point lands one pixel short after rounding.
  input.mi.dx = MulDiv(ptScreen.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
  input.mi.dy = MulDiv(ptScreen.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
  input.mi.dwFlags = dwButtons | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  return SendInput(1, &input, sizeof(input)) == 1;
}

bool SendKey(WORD wVirtualKey) noexcept {
  INPUT inputs[2]{};
  inputs[0].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = wVirtualKey;
  inputs[1] = inputs[0];
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  return SendInput(2, inputs, sizeof(INPUT)) == 2;
}

HWND WaitForPopupMenu(DWORD nProcessId, DWORD nTimeoutMs) noexcept {
  const ULONGLONG nEnd = GetTickCount64() + nTimeoutMs;
  for (;;) {
    HWND hWnd = nullptr;
    while ((hWnd = FindWindowExW(nullptr, hWnd, kMenuWindowClass, nullptr)) != nullptr) {
      DWORD nOwner = 0;
      GetWindowThreadProcessId(hWnd, &nOwner);
      if (nOwner == nProcessId && IsWindowVisible(hWnd)) {
        return hWnd;
      }
    }
    if (GetTickCount64() >= nEnd) {
      return nullptr;
    }
    Sleep(20);
  }
}
