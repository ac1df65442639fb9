// The band's right-click menu: the drag lock, start at log-on, close.

#include <string>

#include "band/AutostartRules.h"
#include "band/RegistryKey.h"
#include "band/TaskbarWindow.h"
#include "framework/Menu.h"

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"Nimbrel.exe";
constexpr DWORD kProbeBytes = 520;

// Presence only: an entry that points elsewhere still counts, one too long
// for the probe does not.
[[nodiscard]] bool IsAutostartEntryPresent() noexcept {
  CRegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, kRunKey, KEY_READ)) {
    return false;
  }
  BYTE data[kProbeBytes];
  DWORD cbData = sizeof(data);
  return RegQueryValueExW(key.Get(), kRunValue, nullptr, nullptr, data, &cbData) == ERROR_SUCCESS;
}

[[nodiscard]] std::wstring OwnExecutablePath() {
  return ReadWholePath([](wchar_t* pszBuffer, std::size_t cchBuffer) -> std::size_t {
    return ::GetModuleFileNameW(nullptr, pszBuffer, static_cast<DWORD>(cchBuffer));
  });
}

void ToggleAutostart(bool bPresent) {
  CRegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, kRunKey, KEY_WRITE)) {
    return;
  }
  if (bPresent) {
    RegDeleteValueW(key.Get(), kRunValue);
    OutputDebugStringW(L"Autostart: DISABLED\n");
    return;
  }
  const std::wstring path = OwnExecutablePath();
  if (path.empty()) {
    return;
  }
  const std::wstring command = QuoteCommandPath(path);
  RegSetValueExW(key.Get(), kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
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
