#include "band/TaskbarWatch.h"

#include <wtsapi32.h>

#include "band/TaskbarWindow.h"

namespace {
constexpr wchar_t kTaskbarWatchClass[] = L"NimbrelTaskbarWatch";
// GUID_CONSOLE_DISPLAY_STATE, spelled out: not every SDK's import library has it.
constexpr GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
}  // namespace

// clang-format off
BEGIN_MESSAGE_MAP(CTaskbarWatch, CWnd)
  ON_WM_SETTINGCHANGE()
  ON_WM_DISPLAYCHANGE()
  ON_MESSAGE(WM_POWERBROADCAST, OnPowerBroadcast)
  ON_MESSAGE(WM_WTSSESSION_CHANGE, OnSessionChange)
  ON_REGISTERED_MESSAGE(g_uTaskbarCreatedMsg, OnTaskbarCreated)
END_MESSAGE_MAP()
// clang-format on

BOOL CTaskbarWatch::Create() noexcept {
  if (m_window) {
    return TRUE;
  }
  // Top-level and never shown: broadcasts reach it, message-only windows
  // would not be reached.
  m_window = CreateBoundWindow(kTaskbarWatchClass, WS_EX_TOOLWINDOW, WS_POPUP);
  if (!m_window) {
    return FALSE;
  }
  // Without either the band still works; it only hears of that event later,
  // from its next frame or settings change.
  if (WTSRegisterSessionNotification(m_window.Get(), NOTIFY_FOR_THIS_SESSION)) {
    m_sessionNotification.Reset(m_window.Get());
  }
  m_displayNotification.Reset(RegisterPowerSettingNotification(
      m_window.Get(), &kConsoleDisplayState, DEVICE_NOTIFY_WINDOW_HANDLE));
  return TRUE;
}

void CTaskbarWatch::Destroy() noexcept {
  m_displayNotification.Reset();
  m_sessionNotification.Reset();
  m_window.Reset();
}

void CTaskbarWatch::SessionNotificationTraits::Close(Handle h) noexcept {
  (void)WTSUnRegisterSessionNotification(h);
}

void CTaskbarWatch::PowerNotificationTraits::Close(Handle h) noexcept {
  (void)UnregisterPowerSettingNotification(h);
}

LRESULT CTaskbarWatch::OnTaskbarCreated(WPARAM wParam, LPARAM lParam) noexcept {
  return m_band.OnTaskbarCreated(wParam, lParam);
}

// Handed on to the band as the system would have sent them to a top-level band.
void CTaskbarWatch::OnSettingChange(UINT uFlags, LPCWSTR lpszSection) noexcept {
  if (m_band.m_hWnd != nullptr) {
    ::SendMessageW(m_band.m_hWnd, WM_SETTINGCHANGE, uFlags, reinterpret_cast<LPARAM>(lpszSection));
  }
  Default();
}

void CTaskbarWatch::OnDisplayChange(UINT nBitsPerPixel, int cx, int cy) noexcept {
  if (m_band.m_hWnd != nullptr) {
    ::SendMessageW(m_band.m_hWnd, WM_DISPLAYCHANGE, nBitsPerPixel, MAKELPARAM(cx, cy));
  }
  Default();
}

// Whatever may have happened while the machine slept or the session was away
// (a lost device, another screen, another taskbar) shows in a fresh frame and
// layout. The power setting's data is not read: the message can come from any
// process, and which way the display went makes no difference here.
LRESULT CTaskbarWatch::OnPowerBroadcast(WPARAM wParam, LPARAM) noexcept {
  switch (wParam) {
    case PBT_APMRESUMEAUTOMATIC:
    case PBT_APMRESUMESUSPEND:
    case PBT_POWERSETTINGCHANGE:
      m_band.OnSessionResumed();
      break;
    default:
      break;
  }
  return TRUE;
}

LRESULT CTaskbarWatch::OnSessionChange(WPARAM wParam, LPARAM) noexcept {
  switch (wParam) {
    case WTS_CONSOLE_CONNECT:
    case WTS_REMOTE_CONNECT:
    case WTS_SESSION_UNLOCK:
      m_band.OnSessionResumed();
      break;
    default:
      break;
  }
  return 0;
}
