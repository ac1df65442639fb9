#include "framework/Menu.h"

#include "framework/Wnd.h"

BOOL CMenu::CreatePopupMenu() noexcept { return Attach(::CreatePopupMenu()); }

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCWSTR lpszNewItem) noexcept {
  return ::AppendMenuW(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect) noexcept {
  return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd != nullptr ? pWnd->m_hWnd : nullptr,
                          lpRect);
}

BOOL CMenu::DestroyMenu() noexcept {
  if (m_hMenu == nullptr) {
    return FALSE;
  }
  return ::DestroyMenu(Detach());
}

BOOL CMenu::Attach(HMENU hMenu) noexcept {
  if (hMenu == nullptr) {
    return FALSE;
  }
  DestroyMenu();
  m_hMenu = hMenu;
  return TRUE;
}

HMENU CMenu::Detach() noexcept {
  HMENU hMenu = m_hMenu;
  m_hMenu = nullptr;
  return hMenu;
}
