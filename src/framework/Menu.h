#pragma once
// CMenu owns one menu handle and destroys it when it goes, by every path.

#include <windows.h>

#include "common/UniqueHandle.h"

class CWnd;

class CMenu {
 public:
  CMenu() noexcept = default;
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  [[nodiscard]] HMENU GetSafeHmenu() const noexcept { return m_menu.Get(); }

  BOOL CreatePopupMenu() noexcept;
  BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCWSTR lpszNewItem = nullptr) noexcept;
  // With TPM_RETURNCMD the result is the chosen command id, 0 when dismissed.
  BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect = nullptr) noexcept;
  BOOL DestroyMenu() noexcept;
  BOOL Attach(HMENU hMenu) noexcept;
  HMENU Detach() noexcept;

 private:
  CUniqueMenu m_menu;
};
