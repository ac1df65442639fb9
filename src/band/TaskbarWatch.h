#pragma once
// A hidden top-level window that hears for the band what the system tells
// top-level windows only: "TaskbarCreated", settings changes and display
// changes. A docked band is a child of the taskbar and hears none of them.

#include <windows.h>

#include "framework/Wnd.h"

class CTaskbarWindow;

class CTaskbarWatch final : public CWnd {
 public:
  explicit CTaskbarWatch(CTaskbarWindow& band) noexcept : m_band(band) {}
  ~CTaskbarWatch() override { Destroy(); }

  // Creates the window unless it exists already; FALSE when there is none.
  BOOL Create() noexcept;
  void Destroy() noexcept { m_window.Reset(); }

 protected:
  LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam) noexcept;
  void OnSettingChange(UINT uFlags, LPCWSTR lpszSection) noexcept;
  void OnDisplayChange(UINT nBitsPerPixel, int cx, int cy) noexcept;

  DECLARE_MESSAGE_MAP()

 private:
  CTaskbarWindow& m_band;
  CUniqueWindow m_window;
};
