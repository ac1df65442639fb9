#include "publisher/system/PublisherStop.h"

#include "publisher/upnp/HttpClient.h"
#include "publisher/main/PublisherExit.h"
#include "publisher/system/PublisherNames.h"
#include "publisher/system/TaskbarTheme.h"

namespace {

// The publisher stops at once; should a cancel not reach an exchange, the
// exchange still ends by its deadline. --stop waits out both, with room to spare.
constexpr DWORD kStopWaitMs = kHttpDeadlineMs + 3000;

// Windows ends the process a few seconds after a close, log-off or shut-down
// handler was called (five for a console); this stays below that.
constexpr DWORD kFinishWaitMs = 4000;

// Console control handlers get no context, so the stop event and the
// "section removed" event that they share with the session window live here.
struct StopState {
  HANDLE m_hStop = nullptr;      // the claim's stop event
  HANDLE m_hFinished = nullptr;  // CStopSignals's own
  HANDLE m_hThemeChanged = nullptr;
};
StopState g_stopState;

void StopAndWait(bool bWaitForFinish) noexcept {
  SetEvent(g_stopState.m_hStop);
  if (bWaitForFinish) {
    WaitForSingleObject(g_stopState.m_hFinished, kFinishWaitMs);
  }
}

BOOL WINAPI OnConsoleControl(DWORD dwCtrlType) noexcept {
  StopAndWait(dwCtrlType == CTRL_CLOSE_EVENT || dwCtrlType == CTRL_LOGOFF_EVENT ||
              dwCtrlType == CTRL_SHUTDOWN_EVENT);
  return TRUE;
}

// A process that has a window (and every process that loads user32, as the
// publisher does) hears of log-off and shut-down only through its windows:
// Windows does not send those control events to it.
LRESULT CALLBACK SessionWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) noexcept {
  switch (uMsg) {
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam != FALSE) {
        StopAndWait(true);
      }
      return 0;
    case WM_SETTINGCHANGE:
      // The one broadcast that tells of light, dark and the accent colour.
      if (lParam != 0 && g_stopState.m_hThemeChanged != nullptr &&
          lstrcmpiW(reinterpret_cast<const wchar_t*>(lParam), kThemeChangeSection) == 0) {
        SetEvent(g_stopState.m_hThemeChanged);
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hWnd, uMsg, wParam, lParam);
  }
}

struct SessionThreadStart {
  HANDLE m_hReady;
  HWND m_hWnd = nullptr;
};

bool NameInUse(const std::wstring& strMutex) noexcept {
  const CUniqueHandle hMutex(OpenMutexW(SYNCHRONIZE, FALSE, strMutex.c_str()));
  return hMutex || GetLastError() == ERROR_ACCESS_DENIED;
}

}  // namespace

bool CStopSignals::Install(HANDLE hStop, bool bHearSessionEnd, HANDLE hThemeChanged) noexcept {
  Uninstall();
  m_hFinished.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!m_hFinished) {
    return false;
  }
  g_stopState = {hStop, m_hFinished.Get(), hThemeChanged};
  m_bConsoleHandler = SetConsoleCtrlHandler(OnConsoleControl, TRUE) != FALSE;
  if (!bHearSessionEnd) {
    return m_bConsoleHandler;
  }

  const CUniqueHandle hReady(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!hReady) {
    return false;
  }
  SessionThreadStart start{hReady.Get()};
  m_hThread.Reset(CreateThread(nullptr, 0, SessionThread, &start, 0, nullptr));
  if (!m_hThread) {
    return false;
  }
  const HANDLE waitFor[] = {hReady.Get(), m_hThread.Get()};
  WaitForMultipleObjects(2, waitFor, FALSE, INFINITE);
  m_hWnd = start.m_hWnd;
  return m_bConsoleHandler && m_hWnd != nullptr;
}

DWORD WINAPI CStopSignals::SessionThread(void* pParam) noexcept {
  auto* pStart = static_cast<SessionThreadStart*>(pParam);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = SessionWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kSessionWindowClass;
  RegisterClassExW(&windowClass);
  // Hidden and top-level: a message-only window is not told that the session ends.
  const HWND hWnd = CreateWindowExW(0, kSessionWindowClass, L"nimbrel-publisher", WS_OVERLAPPED, 0,
                                    0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
  pStart->m_hWnd = hWnd;
  SetEvent(pStart->m_hReady);
  if (hWnd == nullptr) {
    return 1;
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    DispatchMessageW(&msg);
  }
  return 0;
}

void CStopSignals::Finished() noexcept {
  if (m_hFinished) {
    SetEvent(m_hFinished.Get());
  }
}

void CStopSignals::Uninstall() noexcept {
  Finished();
  if (m_bConsoleHandler) {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    m_bConsoleHandler = false;
  }
  if (m_hWnd != nullptr) {
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    m_hWnd = nullptr;
  }
  if (m_hThread) {
    WaitForSingleObject(m_hThread.Get(), kFinishWaitMs);
    m_hThread.Reset();
  }
  g_stopState = {};
  m_hFinished.Reset();
}

int StopRunningPublisher(const std::wstring& strSectionName, COutputSink& output) {
  const std::wstring strMutex = PublisherMutexName(strSectionName);
  {
    const CUniqueHandle hStop(
        OpenEventW(EVENT_MODIFY_STATE, FALSE, PublisherStopEventName(strSectionName).c_str()));
    if (!hStop || !NameInUse(strMutex)) {
      output.Error(L"nimbrel-publisher: no publisher is running");
      return kExitNotRunning;
    }
    // Not held while waiting: a publisher started right after this one ends creates it anew.
    SetEvent(hStop.Get());
  }
  const ULONGLONG nEnd = GetTickCount64() + kStopWaitMs;
  while (NameInUse(strMutex)) {
    if (GetTickCount64() >= nEnd) {
      output.Error(
          L"nimbrel-publisher: asked the running publisher to stop, but it was still "
          L"running after " +
          std::to_wstring(kStopWaitMs / 1000) + L" s");
      return kExitStillRunning;
    }
    Sleep(20);
  }
  output.Line(L"nimbrel-publisher: the running publisher has stopped");
  return kExitOk;
}
