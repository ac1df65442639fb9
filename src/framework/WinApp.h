#pragma once
// CWinApp: the one application object of the process. The program derives
// from it and defines one static instance; AfxWinMain then runs
// InitInstance, the message loop and ExitInstance.

#include <windows.h>

class CWnd;

class CWinApp {
 public:
  // A null name means the executable's base name ("Nimbrel" for Nimbrel.exe).
  explicit CWinApp(LPCWSTR lpszAppName = nullptr) noexcept;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;
  virtual ~CWinApp();

  // FALSE ends the process without running the message loop.
  virtual BOOL InitInstance() noexcept { return TRUE; }
  // Runs the message loop until WM_QUIT, then returns ExitInstance().
  virtual int Run() noexcept;
  // The process exit code: the WM_QUIT code that ended the message loop, or
  // 1 when the loop never ran because InitInstance refused to start.
  virtual int ExitInstance() noexcept { return m_nExitCode; }
  // Every AfxMessageBox goes through here; the caption is the application's name.
  virtual int DoMessageBox(LPCWSTR lpszPrompt, UINT nType, UINT nIDPrompt) noexcept;

  HINSTANCE m_hInstance = nullptr;
  LPCWSTR m_pszAppName = nullptr;
  CWnd* m_pMainWnd = nullptr;
  int m_nCmdShow = SW_SHOWNORMAL;

 protected:
  int m_nExitCode = 1;

 private:
  wchar_t m_szAppName[MAX_PATH] = {};
};

[[nodiscard]] CWinApp* AfxGetApp() noexcept;
// The name an application takes from its executable's path: the last part of
// the path without its extension, cut to fit cchDest characters with the NUL.
void CopyAppBaseName(wchar_t* pszDest, size_t cchDest, const wchar_t* pszPath) noexcept;
// Where dialog templates are loaded from: the program's own module unless set.
[[nodiscard]] HINSTANCE AfxGetResourceHandle() noexcept;
void AfxSetResourceHandle(HINSTANCE hInstResource) noexcept;
int AfxMessageBox(LPCWSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0) noexcept;
// The program's WinMain: InitInstance, then the loop, then ExitInstance.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine,
               int nCmdShow) noexcept;
