// The band's right-click menu: the drag lock, start at log-on, close.

#include <string>

#include "band/AutostartRules.h"
#include "band/TaskbarWindow.h"
#include "framework/Menu.h"
#include "common/RegistryKey.h"
#include "common/RunKey.h"

namespace {

constexpr wchar_t kRunValue[] = L"Nimbrel.exe";
// Presence only: an entry that points elsewhere still counts, and so does one
// of any length (the quoted path of a deep folder is longer than 520 bytes),
// or Autostart could never switch it off.
[[nodiscard]] bool IsAutostartEntryPresent() noexcept {
  CRegistryKey key;
  return key.Open(HKEY_CURRENT_USER, kRunKeyPath, KEY_READ) && key.HasValue(kRunValue);
}

[[nodiscard]] std::wstring OwnExecutablePath() {
  return ReadWholePath([](wchar_t* pszBuffer, std::size_t cchBuffer) -> std::size_t {
    return ::GetModuleFileNameW(nullptr, pszBuffer, static_cast<DWORD>(cchBuffer));
  });
}

void ToggleAutostart(bool bPresent) {
  CRegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, kRunKeyPath, KEY_WRITE)) {
    return;
  }
  if (bPresent) {
    key.DeleteValue(kRunValue);
    OutputDebugStringW(L"Autostart: DISABLED\n");
    return;
  }
  const std::wstring path = OwnExecutablePath();
  if (path.empty()) {
    return;
  }
  key.SetString(kRunValue, QuoteCommandPath(path));
  OutputDebugStringW(L"Autostart: ENABLED\n");
}

}  // namespace

void CTaskbarWindow::OnRButtonUp(UINT nFlags, POINT point) noexcept {
  POINT ptScreen = point;
  ::ClientToScreen(m_hWnd, &ptScreen);
  ShowContextMenu(ptScreen);
  CDialogEx::OnRButtonUp(nFlags, point);
}

void CTaskbarWindow::ShowContextMenu(POINT ptScreen) noexcept {
  CMenu menu;
  menu.CreatePopupMenu();
  const bool bAutostart = IsAutostartEntryPresent();
  menu.AppendMenu(m_bLocked ? MF_CHECKED : MF_STRING, ID_MENU_LOCKED, L"Locked");
  menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
  menu.AppendMenu(bAutostart ? MF_CHECKED : MF_STRING, ID_MENU_AUTOSTART, L"Autostart");
  menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
  menu.AppendMenu(MF_STRING, ID_MENU_CLOSE, L"Close");

  ::SetForegroundWindow(m_hWnd);
  const UINT nCommand = static_cast<UINT>(
      menu.TrackPopupMenu(TPM_RIGHTBUTTON | TPM_RETURNCMD, ptScreen.x, ptScreen.y, this, nullptr));
  switch (nCommand) {
    case ID_MENU_LOCKED:
      m_bLocked = m_bLocked ? FALSE : TRUE;
      SavePosition();
      break;
    case ID_MENU_AUTOSTART:
      ToggleAutostart(bAutostart);
      break;
    case ID_MENU_CLOSE:
      ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
      break;
    default:
      break;
  }
  ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}
