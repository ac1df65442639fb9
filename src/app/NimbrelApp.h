#pragma once
// The application object: start-up behind the Windows-build gate and the
// single-instance mutex, then the band window for the rest of the process.

#include <windows.h>

#include "band/TaskbarWindow.h"
#include "common/UniqueHandle.h"
#include "framework/WinApp.h"

inline constexpr wchar_t kSingleInstanceMutexName[] = L"Nimbrel_SingleInstance_Mutex";
inline constexpr wchar_t kRequiresWindows11Text[] = L"Nimbrel requires Windows 11 or later.";
inline constexpr wchar_t kAlreadyRunningText[] = L"Nimbrel already running!";

class CNimbrelApp : public CWinApp {
 public:
  CNimbrelApp() noexcept : CWinApp(nullptr) {}

  BOOL InitInstance() noexcept override;
  int ExitInstance() noexcept override;

  // Held for the life of the process; closed at its end.
  CUniqueHandle m_hSingleInstanceMutex;
  CTaskbarWindow m_wndBand;
};
