#include "devshell/DevBand.h"

#include "devshell/DevInput.h"
#include "devshell/FrameSection.h"
#include "devshell/StandInControl.h"
#include "common/UniqueHandle.h"

namespace {
constexpr DWORD kMenuTimeoutMs = 5000;
constexpr DWORD kPollMs = 20;
}  // namespace

HWND FindDockedBand(HWND hTaskbar) noexcept {
  return hTaskbar != nullptr ? FindWindowExW(hTaskbar, nullptr, nullptr, kBandTitle) : nullptr;
}

HWND WaitForDockedBand(HWND hTaskbar, DWORD nTimeoutMs) noexcept {
  const ULONGLONG nEnd = GetTickCount64() + nTimeoutMs;
  for (;;) {
    if (HWND hBand = FindDockedBand(hTaskbar); hBand != nullptr && IsWindowVisible(hBand)) {
      return hBand;
    }
    if (GetTickCount64() >= nEnd) {
      return nullptr;
    }
    Sleep(kPollMs);
  }
}

bool WaitForBandFrame(HWND hBand, DWORD nTimeoutMs) {
  const ULONGLONG nEnd = GetTickCount64() + nTimeoutMs;
  FrameImage frame;
  while (!ReadWindowFrame(hBand, frame)) {
    if (GetTickCount64() >= nEnd) {
      return false;
    }
    Sleep(kPollMs);
  }
  return true;
}

bool ChooseFromBandMenu(HWND hBand, BandMenuCommand command) noexcept {
  RECT rc{};
  DWORD nProcessId = 0;
  if (!GetWindowRect(hBand, &rc) || GetWindowThreadProcessId(hBand, &nProcessId) == 0) {
    return false;
  }
  const POINT ptMiddle{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  if (!SendMouseAt(ptMiddle) || !SendMouseAt(ptMiddle, MOUSEEVENTF_RIGHTDOWN) ||
      !SendMouseAt(ptMiddle, MOUSEEVENTF_RIGHTUP)) {
    return false;
  }
  HWND hMenu = WaitForPopupMenu(nProcessId, kMenuTimeoutMs);
  if (hMenu == nullptr) {
    return false;
  }
  // A menu opened by the mouse has nothing selected: each Down moves to the
  // next command, over the separators.
  bool bSent = true;
  for (int i = 0; i < static_cast<int>(command); ++i) {
    bSent = SendKey(VK_DOWN) && bSent;
  }
  bSent = SendKey(VK_RETURN) && bSent;
  const ULONGLONG nEnd = GetTickCount64() + kMenuTimeoutMs;
  while (IsWindow(hMenu) && IsWindowVisible(hMenu)) {
    if (GetTickCount64() >= nEnd) {
      (void)SendKey(VK_ESCAPE);
      return false;
    }
    Sleep(kPollMs);
  }
  return bSent;
}

HWND FindBandWatch(HWND hBand) noexcept {
  DWORD nBandProcess = 0;
  if (hBand == nullptr || GetWindowThreadProcessId(hBand, &nBandProcess) == 0) {
    return nullptr;
  }
  HWND hWnd = nullptr;
  while ((hWnd = FindWindowExW(nullptr, hWnd, kBandWatchClass, nullptr)) != nullptr) {
    DWORD nProcess = 0;
    if (GetWindowThreadProcessId(hWnd, &nProcess) != 0 && nProcess == nBandProcess) {
      return hWnd;
    }
  }
  return nullptr;
}

bool LoseBandDevice(HWND hBand) noexcept {
  DWORD nProcess = 0;
  if (hBand == nullptr || GetWindowThreadProcessId(hBand, &nProcess) == 0) {
    return false;
  }
  const CUniqueHandle event(
      OpenEventW(EVENT_MODIFY_STATE, FALSE, StandInLoseDeviceEventName(nProcess).c_str()));
  return event && SetEvent(event.Get()) != FALSE;
}
