#include "app/NimbrelApp.h"

#include <commctrl.h>

#include "app/BuildGate.h"

CNimbrelApp::~CNimbrelApp() {
  if (m_hSingleInstanceMutex != nullptr) {
    CloseHandle(m_hSingleInstanceMutex);
    m_hSingleInstanceMutex = nullptr;
  }
}

BOOL CNimbrelApp::InitInstance() noexcept {
  if (!IsSupportedWindowsBuild()) {
    AfxMessageBox(kRequiresWindows11Text, MB_OK | MB_ICONERROR, 0);
    return FALSE;
  }

  // Owned for the life of the process and never waited on: it only marks a
  // running instance in this log-on session.
  m_hSingleInstanceMutex = CreateMutexW(nullptr, TRUE, kSingleInstanceMutexName);
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(m_hSingleInstanceMutex);
    m_hSingleInstanceMutex = nullptr;
    HWND hRunning = FindWindowW(nullptr, kBandWindowTitle);
    if (hRunning != nullptr) {
      SetForegroundWindow(hRunning);
    }
    AfxMessageBox(kAlreadyRunningText, MB_OK | MB_ICONINFORMATION, 0);
    return FALSE;
  }

  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof(icc);
  icc.dwICC = ICC_WIN95_CLASSES;
  InitCommonControlsEx(&icc);

  CWinApp::InitInstance();

  HICON hIcon = LoadIconW(m_hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME_ICON));

  if (!m_wndBand.Create(IDD_BAND, GetDesktopWindow())) {
    return FALSE;
  }
  m_pMainWnd = &m_wndBand;

  if (hIcon != nullptr) {
    SendMessageW(m_wndBand.m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
    SendMessageW(m_wndBand.m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
  }

  m_pMainWnd->ShowWindow(SW_SHOW);
  m_pMainWnd->UpdateWindow();
  return TRUE;
}

int CNimbrelApp::ExitInstance() noexcept {
  m_pMainWnd = nullptr;
  return CWinApp::ExitInstance();
}
