#include "publisher/system/TaskbarTheme.h"

#include <windows.h>

#include "common/RegistryKey.h"

namespace {

bool ReadDword(const wchar_t* pszKey, const wchar_t* pszName, DWORD& dwValue) noexcept {
  CRegistryKey key;
  return key.Open(HKEY_CURRENT_USER, pszKey, KEY_QUERY_VALUE) && key.QueryDword(pszName, dwValue);
}

// The registry holds colours as 0xAABBGGRR.
std::uint32_t FromAbgr(DWORD dwAbgr) noexcept {
  return ((dwAbgr & 0xFF) << 16) | (dwAbgr & 0xFF00) | ((dwAbgr >> 16) & 0xFF);
}

}  // namespace

TaskbarTheme ReadTaskbarTheme() noexcept {
  TaskbarTheme theme;
  DWORD dwValue = 0;
  theme.m_bLight = ReadDword(kPersonalizeKey, L"SystemUsesLightTheme", dwValue) && dwValue != 0;
  if (ReadDword(kPersonalizeKey, L"ColorPrevalence", dwValue) && dwValue != 0 &&
      (ReadDword(kExplorerAccentKey, L"AccentColorMenu", dwValue) ||
       ReadDword(kDwmKey, L"AccentColor", dwValue))) {
    theme.m_bAccent = true;
    theme.m_nAccent = FromAbgr(dwValue);
  }
  return theme;
}
