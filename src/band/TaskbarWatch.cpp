#include "band/TaskbarWatch.h"

#include "band/TaskbarWindow.h"

namespace {
constexpr wchar_t kTaskbarWatchClass[] = L"NimbrelTaskbarWatch";
}

// clang-format off
BEGIN_MESSAGE_MAP(CTaskbarWatch, CWnd)
  ON_WM_SETTINGCHANGE()
  ON_WM_DISPLAYCHANGE()
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
  return m_window ? TRUE : FALSE;
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
