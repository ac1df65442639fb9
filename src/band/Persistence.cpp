// Where the band was left and whether it is locked, kept in the current
// user's registry between runs.

#include "band/PositionRules.h"
#include "band/TaskbarWindow.h"
#include "feed/StringFormat.h"
#include "common/RegistryKey.h"

namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Nimbrel";
constexpr wchar_t kManuallyPositionedValue[] = L"ManuallyPositioned";
constexpr wchar_t kLockedValue[] = L"Locked";
constexpr wchar_t kPosXValue[] = L"PosX";

}  // namespace

void CTaskbarWindow::SavePosition() noexcept {
  if (m_hWnd == nullptr) {
    return;
  }
  CRegistryKey key;
  if (!key.Create(HKEY_CURRENT_USER, kSettingsKey, KEY_WRITE)) {
    return;
  }
  const DWORD dwManual = m_bManuallyPositioned ? 1 : 0;
  key.SetDword(kManuallyPositionedValue, dwManual);
  key.SetDword(kLockedValue, m_bLocked ? 1 : 0);

  RECT rcBand{};
  ::GetWindowRect(m_hWnd, &rcBand);
  RefreshTaskbarRect();
  const LONG nPosX = rcBand.left - m_rcTaskbar.left;
  key.SetDword(kPosXValue, static_cast<DWORD>(nPosX));

  wchar_t szLine[256];
  StringCbPrintfW(szLine, sizeof(szLine), L"SavePosition: ManuallyPositioned=%d, relativeX=%d\n",
                  static_cast<int>(dwManual), static_cast<int>(nPosX));
  OutputDebugStringW(szLine);
}

void CTaskbarWindow::LoadPosition() noexcept {
  if (m_hWnd == nullptr) {
    return;
  }
  OutputDebugStringW(L"LoadPosition: Start\n");

  CRegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, kSettingsKey, KEY_READ)) {
    return;
  }

  DWORD dwLocked = 0;
  if (key.QueryDword(kLockedValue, dwLocked)) {
    m_bLocked = dwLocked != 0 ? TRUE : FALSE;
  }

  DWORD dwManual = 0;
  if (!key.QueryDword(kManuallyPositionedValue, dwManual)) {
    return;
  }
  wchar_t szLine[256];
  StringCbPrintfW(szLine, sizeof(szLine), L"LoadPosition: Registry ManuallyPositioned=%d\n",
                  static_cast<int>(dwManual));
  OutputDebugStringW(szLine);
  m_bManuallyPositioned = dwManual != 0 ? TRUE : FALSE;
  if (!m_bManuallyPositioned) {
    return;
  }

  DWORD dwPosX = 0;
  if (!key.QueryDword(kPosXValue, dwPosX)) {
    OutputDebugStringW(L"LoadPosition: PosX nicht in Registry\n");
    m_bManuallyPositioned = FALSE;
    return;
  }
  const LONG nPosX = static_cast<LONG>(dwPosX);

  RECT rcBand{};
  ::GetWindowRect(m_hWnd, &rcBand);
  const LONG nBandWidth = rcBand.right - rcBand.left;
  const LONG nBandHeight = rcBand.bottom - rcBand.top;
  const LONG nTaskbarWidth = m_rcTaskbar.right - m_rcTaskbar.left;
  const LONG nTaskbarHeight = m_rcTaskbar.bottom - m_rcTaskbar.top;

  if (!IsSavedPosXValid(nPosX, nBandWidth, nTaskbarWidth)) {
    OutputDebugStringW(L"LoadPosition: Position ung\u00FCltig, verwende Standard\n");
    m_bManuallyPositioned = FALSE;
    return;
  }

  const LONG nTop = ComputeCenteredTop(nTaskbarHeight, nBandHeight);
  StringCbPrintfW(szLine, sizeof(szLine), L"LoadPosition: relativeX=%d, yPos=%d\n",
                  static_cast<int>(nPosX), static_cast<int>(nTop));
  OutputDebugStringW(szLine);
  ::MoveWindow(m_hWnd, nPosX, nTop, nBandWidth, nBandHeight, TRUE);
}
