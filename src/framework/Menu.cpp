#include "framework/Menu.h"

#include "framework/Wnd.h"

BOOL CMenu::CreatePopupMenu() noexcept { return Attach(::CreatePopupMenu()); }

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCWSTR lpszNewItem) noexcept {
  return ::AppendMenuW(m_menu.Get(), nFlags, nIDNewItem, lpszNewItem);
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect) noexcept {
  return ::TrackPopupMenu(m_menu.Get(), nFlags, x, y, 0, pWnd != nullptr ? pWnd->m_hWnd : nullptr,
                          lpRect);
}

BOOL CMenu::DestroyMenu() noexcept {
  if (!m_menu) {
    return FALSE;
  }
  m_menu.Reset();
  return TRUE;
}

BOOL CMenu::Attach(HMENU hMenu) noexcept {
  if (hMenu == nullptr) {
    return FALSE;
  }
  m_menu.Reset(hMenu);
  return TRUE;
}

HMENU CMenu::Detach() noexcept { return m_menu.Release(); }
