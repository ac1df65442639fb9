#include "app/NimbrelApp.h"

#include <commctrl.h>

#include "app/BuildGate.h"

BOOL CNimbrelApp::InitInstance() noexcept {
  if (!IsSupportedWindowsBuild()) {
    AfxMessageBox(kRequiresWindows11Text, MB_OK | MB_ICONERROR, 0);
    return FALSE;
  }

  // Owned for the life of the process and never waited on: it only marks a
  // running instance in this log-on session.
  HANDLE hMutex = CreateMutexW(nullptr, TRUE, kSingleInstanceMutexName);
  const bool bAlreadyRunning = GetLastError() == ERROR_ALREADY_EXISTS;
  m_hSingleInstanceMutex.Reset(hMutex);
  if (bAlreadyRunning) {
    m_hSingleInstanceMutex.Reset();
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
