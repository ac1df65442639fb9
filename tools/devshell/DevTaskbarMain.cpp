// nimbrel-devtaskbar: the development taskbar, or a command to the running one
// (see DevTaskbarCommand.h and --help).

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "devshell/DevBand.h"
#include "devshell/DevTaskbar.h"
#include "devshell/DevTaskbarControl.h"

namespace {

constexpr DWORD kWineTaskbarWaitMs = 2000;

// Runs messages for a while, so that the taskbar's own windows keep working
// while it is away.
void PumpFor(DWORD nMs) noexcept {
  const ULONGLONG nEnd = GetTickCount64() + nMs;
  MSG msg;
  for (ULONGLONG nNow = GetTickCount64(); nNow < nEnd; nNow = GetTickCount64()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(nEnd - nNow), QS_ALLINPUT);
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageW(&msg);
    }
  }
}

// Wine starts its own, hidden taskbar with the desktop, and FindWindowW
// finds whichever came last; so ours waits for it and then comes on top.
void LetWineTaskbarComeFirst() noexcept {
  GetDesktopWindow();
  const ULONGLONG nEnd = GetTickCount64() + kWineTaskbarWaitMs;
  while (FindWindowW(kDevTaskbarClass, nullptr) == nullptr && GetTickCount64() < nEnd) {
    Sleep(20);
  }
}

[[nodiscard]] bool CreateOnTop(CDevTaskbar& taskbar) noexcept {
  if (!taskbar.Create()) {
    return false;
  }
  if (FindWindowW(kDevTaskbarClass, nullptr) != taskbar.Handle()) {
    SetWindowPos(taskbar.Handle(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return FindWindowW(kDevTaskbarClass, nullptr) == taskbar.Handle();
}

int RunTaskbar() {
  if (FindDevTaskbar() != nullptr) {
    std::fputs("nimbrel-devtaskbar: a development taskbar is already running\n", stderr);
    return 1;
  }
  LetWineTaskbarComeFirst();
  CDevTaskbar taskbar;
  if (!CreateOnTop(taskbar)) {
    std::fputs("nimbrel-devtaskbar: the taskbar window could not be made the one found first\n",
               stderr);
    return 1;
  }
  const RECT& rc = taskbar.Layout().m_rcTaskbar;
  std::printf("nimbrel-devtaskbar: taskbar at (%ld, %ld)-(%ld, %ld), notification area at x %ld\n",
              rc.left, rc.top, rc.right, rc.bottom, rc.left + taskbar.Layout().m_rcNotify.left);
  std::fflush(stdout);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == nullptr && msg.message == CDevTaskbar::kRestartThreadMessage) {
      taskbar.Destroy();
      PumpFor(static_cast<DWORD>(msg.wParam));
      if (!CreateOnTop(taskbar)) {
        std::fputs("nimbrel-devtaskbar: the taskbar did not come back\n", stderr);
        return 1;
      }
      BroadcastTaskbarCreated();
      continue;
    }
    if (msg.hwnd == nullptr && msg.message == CDevTaskbar::kQuitThreadMessage) {
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  taskbar.Destroy();
  return 0;
}

int LoseDockedBandsDevice() {
  if (!LoseBandDevice(FindDockedBand(FindDevTaskbar()))) {
    std::fputs("nimbrel-devtaskbar: no band with the composition stand-in is docked\n", stderr);
    return 1;
  }
  return 0;
}

int WaitForTaskbar(int nSeconds) {
  HWND hTaskbar = WaitForDevTaskbar(static_cast<DWORD>(nSeconds) * 1000);
  if (hTaskbar == nullptr || !SendDevTaskbarCommand(hTaskbar, DevTaskbarCommand::Ping, 0)) {
    std::fputs("nimbrel-devtaskbar: no development taskbar answered\n", stderr);
    return 1;
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DevTaskbarRequest request;
  std::wstring error;
  if (!ParseDevTaskbarArgs(std::vector<std::wstring>(argv + 1, argv + argc), request, error)) {
    std::fwprintf(stderr, L"nimbrel-devtaskbar: %ls\n%ls", error.c_str(), kDevTaskbarUsage);
    return 2;
  }
  switch (request.m_command) {
    case DevTaskbarCommand::Host:
      return RunTaskbar();
    case DevTaskbarCommand::Help:
      std::fputws(kDevTaskbarUsage, stdout);
      return 0;
    case DevTaskbarCommand::Ping:
      return WaitForTaskbar(request.m_nValue);
    case DevTaskbarCommand::LoseBandDevice:
      return LoseDockedBandsDevice();
    default:
      break;
  }
  if (!SendDevTaskbarCommand(FindDevTaskbar(), request.m_command, request.m_nValue)) {
    std::fputs("nimbrel-devtaskbar: no development taskbar took the command\n", stderr);
    return 1;
  }
  return 0;
}
