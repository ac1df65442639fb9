#pragma once
// A hidden top-level window that hears for the band what the system tells
// top-level windows only: "TaskbarCreated", settings changes and display
// changes, and power and session events (resume from sleep, the display
// turned on, an unlock, a console or remote-desktop connect), for which it
// registers. A docked band is a child of the taskbar and hears none of them.

#include <windows.h>

#include "framework/Wnd.h"

class CTaskbarWindow;

class CTaskbarWatch final : public CWnd {
 public:
  explicit CTaskbarWatch(CTaskbarWindow& band) noexcept : m_band(band) {}
  ~CTaskbarWatch() override { Destroy(); }

  // Creates the window unless it exists already; FALSE when there is none.
  BOOL Create() noexcept;
  void Destroy() noexcept;

 protected:
  LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam) noexcept;
  void OnSettingChange(UINT uFlags, LPCWSTR lpszSection) noexcept;
  void OnDisplayChange(UINT nBitsPerPixel, int cx, int cy) noexcept;
  LRESULT OnPowerBroadcast(WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT OnSessionChange(WPARAM wParam, LPARAM lParam) noexcept;

  DECLARE_MESSAGE_MAP()

 private:
  struct SessionNotificationTraits : TNullHandle<HWND> {
    static void Close(Handle h) noexcept;
  };
  struct PowerNotificationTraits : TNullHandle<HPOWERNOTIFY> {
    static void Close(Handle h) noexcept;
  };

  CTaskbarWindow& m_band;
  CUniqueWindow m_window;
  // Both registrations end before the window goes.
  TUniqueHandle<SessionNotificationTraits> m_sessionNotification;
  TUniqueHandle<PowerNotificationTraits> m_displayNotification;
};
