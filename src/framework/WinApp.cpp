#include "framework/WinApp.h"

#include <cwchar>

#include "framework/Wnd.h"

namespace {
CWinApp* g_pApp = nullptr;
HINSTANCE g_hInstResource = nullptr;
}  // namespace

CWinApp::CWinApp(LPCWSTR lpszAppName) noexcept {
  g_pApp = this;
  m_hInstance = GetModuleHandleW(nullptr);
  if (lpszAppName != nullptr) {
    m_pszAppName = lpszAppName;
    return;
  }
  wchar_t szPath[MAX_PATH] = {};
  const DWORD cch = GetModuleFileNameW(nullptr, szPath, MAX_PATH);
  if (cch > 0 && cch < MAX_PATH) {
    CopyAppBaseName(m_szAppName, MAX_PATH, szPath);
  }
  m_pszAppName = m_szAppName;
}

CWinApp::~CWinApp() {
  if (g_pApp == this) {
    g_pApp = nullptr;
  }
}

int CWinApp::Run() noexcept {
  MSG msg{};
  for (;;) {
    const BOOL bResult = GetMessageW(&msg, nullptr, 0, 0);
    if (bResult == 0) {
      m_nExitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (bResult == -1) {
      m_nExitCode = -1;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return ExitInstance();
}

int CWinApp::DoMessageBox(LPCWSTR lpszPrompt, UINT nType, UINT) noexcept {
  // No owner: the main window may be docked inside another process's window,
  // and a box disables its owner.
  return MessageBoxW(nullptr, lpszPrompt, m_pszAppName, nType);
}

void CopyAppBaseName(wchar_t* pszDest, size_t cchDest, const wchar_t* pszPath) noexcept {
  const wchar_t* pszName = pszPath;
  for (const wchar_t* p = pszPath; *p != L'\0'; ++p) {
    if (*p == L'\\' || *p == L'/' || *p == L':') {
      pszName = p + 1;
    }
  }
  size_t cch = 0;
  while (pszName[cch] != L'\0' && cch + 1 < cchDest) {
    pszDest[cch] = pszName[cch];
    ++cch;
  }
  pszDest[cch] = L'\0';
  wchar_t* pszDot = std::wcsrchr(pszDest, L'.');
  if (pszDot != nullptr && pszDot != pszDest) {
    *pszDot = L'\0';
  }
}

CWinApp* AfxGetApp() noexcept { return g_pApp; }

HINSTANCE AfxGetResourceHandle() noexcept {
  return g_hInstResource != nullptr ? g_hInstResource : GetModuleHandleW(nullptr);
}

void AfxSetResourceHandle(HINSTANCE hInstResource) noexcept { g_hInstResource = hInstResource; }

int AfxMessageBox(LPCWSTR lpszText, UINT nType, UINT nIDHelp) noexcept {
  if (g_pApp != nullptr) {
    return g_pApp->DoMessageBox(lpszText, nType, nIDHelp);
  }
  return MessageBoxW(nullptr, lpszText, nullptr, nType);
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int nCmdShow) noexcept {
  CWinApp* pApp = AfxGetApp();
  if (pApp == nullptr) {
    return -1;
  }
  pApp->m_hInstance = hInstance;
  pApp->m_nCmdShow = nCmdShow;
  if (!pApp->InitInstance()) {
    if (pApp->m_pMainWnd != nullptr) {
      pApp->m_pMainWnd->DestroyWindow();
    }
    return pApp->ExitInstance();
  }
  return pApp->Run();
}
