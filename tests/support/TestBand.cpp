#include "support/TestBand.h"

#include <algorithm>

namespace {
CTestBand* g_pSpiedBand = nullptr;
}

BEGIN_MESSAGE_MAP(CTestBand, CTaskbarWindow)
ON_MESSAGE(WM_STYLECHANGED, OnStyleChanged)
ON_WM_DESTROY()
END_MESSAGE_MAP()

CTestBand::~CTestBand() {
  if (g_pSpiedBand == this) {
    g_pSpiedBand = nullptr;
  }
}

void CTestBand::SpyOnDefault() noexcept {
  g_pSpiedBand = this;
  m_pfnRealDefault = m_pfnSuper;
  m_pfnSuper = &CTestBand::SpyProc;
}

int CTestBand::DefaultCount(UINT message) const noexcept {
  return static_cast<int>(std::count(m_defaultMessages.begin(), m_defaultMessages.end(), message));
}

LRESULT CALLBACK CTestBand::SpyProc(HWND hWnd, UINT message, WPARAM wParam,
                                    LPARAM lParam) noexcept {
  CTestBand* pBand = g_pSpiedBand;
  if (pBand == nullptr || pBand->m_pfnRealDefault == nullptr) {
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
  }
  pBand->m_defaultMessages.push_back(message);
  if (message == WM_WINDOWPOSCHANGING) {
    pBand->m_windowPosChanges.push_back(*reinterpret_cast<const WINDOWPOS*>(lParam));
  }
  if (message == WM_NCHITTEST && pBand->m_bReplaceDefaultHitTest) {
    return pBand->m_nDefaultHitTest;
  }
  return CallWindowProcW(pBand->m_pfnRealDefault, hWnd, message, wParam, lParam);
}

LRESULT CTestBand::OnStyleChanged(WPARAM wParam, LPARAM lParam) noexcept {
  const auto* pStyles = reinterpret_cast<const STYLESTRUCT*>(lParam);
  if (m_hDestroyWhenDocking != nullptr && static_cast<int>(wParam) == GWL_EXSTYLE &&
      (pStyles->styleNew & WS_EX_NOREDIRECTIONBITMAP) != 0) {
    ::DestroyWindow(m_hDestroyWhenDocking);
    m_hDestroyWhenDocking = nullptr;
  }
  return Default();
}

void CTestBand::OnDestroy() noexcept {
  if (m_bCaptureLostOnDestroy) {
    m_bCaptureLostOnDestroy = false;
    SendMessageW(m_hWnd, WM_CAPTURECHANGED, 0, 0);
  }
  CTaskbarWindow::OnDestroy();
}
