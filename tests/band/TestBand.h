#pragma once
// The band under test: the real CTaskbarWindow with two additions that only
// tests need. It can sit between the band and its default processing, to see
// which messages reach the default and to stand in for the default hit test;
// and it can destroy a window at the moment the band adds
// WS_EX_NOREDIRECTIONBITMAP, just before it docks, so that docking fails.

#include <windows.h>

#include <vector>

#include "band/TaskbarWindow.h"

class CTestBand : public CTaskbarWindow {
 public:
  ~CTestBand() override;

  // From now until the window goes, every message that reaches the band's
  // default processing is recorded in m_defaultMessages.
  void SpyOnDefault() noexcept;

  std::vector<UINT> m_defaultMessages;
  // When set, the default hit test answers this instead of the platform.
  LRESULT m_nDefaultHitTest = 0;
  bool m_bReplaceDefaultHitTest = false;
  HWND m_hDestroyWhenDocking = nullptr;

 protected:
  LRESULT OnStyleChanged(WPARAM wParam, LPARAM lParam) noexcept;
  DECLARE_MESSAGE_MAP()

 private:
  static LRESULT CALLBACK SpyProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  WNDPROC m_pfnRealDefault = nullptr;
};

// Sends one tick of the band's timer, or a timer message with another id.
inline void Tick(const CTaskbarWindow& band, UINT_PTR nId = ID_BAND_TIMER) noexcept {
  SendMessageW(band.m_hWnd, WM_TIMER, nId, 0);
}
