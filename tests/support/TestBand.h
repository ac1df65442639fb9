#pragma once
// The band under test: the real CTaskbarWindow with two additions that only
// tests need. It can sit between the band and its default processing, to see
// which messages reach the default (and where a z-order call would put it)
// and to stand in for the default hit test; and it can destroy a window at
// the moment the band adds WS_EX_NOREDIRECTIONBITMAP, just before it docks,
// so that docking fails.

#include <windows.h>

#include <vector>

#include "band/TaskbarWindow.h"

class CTestBand : public CTaskbarWindow {
 public:
  ~CTestBand() override;

  // From now until the window goes, every message that reaches the band's
  // default processing is recorded in m_defaultMessages, and each
  // WM_WINDOWPOSCHANGING's position in m_windowPosChanges.
  void SpyOnDefault() noexcept;
  [[nodiscard]] int DefaultCount(UINT message) const noexcept;

  std::vector<UINT> m_defaultMessages;
  std::vector<WINDOWPOS> m_windowPosChanges;
  // When set, the default hit test answers this instead of the platform.
  LRESULT m_nDefaultHitTest = 0;
  bool m_bReplaceDefaultHitTest = false;
  HWND m_hDestroyWhenDocking = nullptr;
  // Windows tells a window that holds the mouse capture of its loss when the
  // window is destroyed, before WM_DESTROY; Wine 8 does not. When set, the
  // test band tells itself, once, as Windows would.
  bool m_bCaptureLostOnDestroy = false;

 protected:
  LRESULT OnStyleChanged(WPARAM wParam, LPARAM lParam) noexcept;
  void OnDestroy() noexcept;
  DECLARE_MESSAGE_MAP()

 private:
  static LRESULT CALLBACK SpyProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  WNDPROC m_pfnRealDefault = nullptr;
};
