#pragma once
// One open registry key, closed when it goes out of scope.

#include <windows.h>

class CRegistryKey {
 public:
  CRegistryKey() noexcept = default;
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;
  ~CRegistryKey() { Close(); }

  [[nodiscard]] bool Open(HKEY hRoot, const wchar_t* pszSubKey, REGSAM samDesired) noexcept {
    Close();
    return RegOpenKeyExW(hRoot, pszSubKey, 0, samDesired, &m_hKey) == ERROR_SUCCESS;
  }

  [[nodiscard]] bool Create(HKEY hRoot, const wchar_t* pszSubKey, REGSAM samDesired) noexcept {
    Close();
    return RegCreateKeyExW(hRoot, pszSubKey, 0, nullptr, 0, samDesired, nullptr, &m_hKey,
                           nullptr) == ERROR_SUCCESS;
  }

  void Close() noexcept {
    if (m_hKey != nullptr) {
      RegCloseKey(m_hKey);
      m_hKey = nullptr;
    }
  }

  // Reads at most 4 bytes into a DWORD that starts as 0, whatever the value's
  // type; anything longer counts as missing.
  [[nodiscard]] bool QueryDword(const wchar_t* pszName, DWORD& dwValue) const noexcept {
    dwValue = 0;
    DWORD cbValue = sizeof(dwValue);
    return RegQueryValueExW(m_hKey, pszName, nullptr, nullptr, reinterpret_cast<BYTE*>(&dwValue),
                            &cbValue) == ERROR_SUCCESS;
  }

  void SetDword(const wchar_t* pszName, DWORD dwValue) const noexcept {
    RegSetValueExW(m_hKey, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                   sizeof(dwValue));
  }

  [[nodiscard]] HKEY Get() const noexcept { return m_hKey; }

 private:
  HKEY m_hKey = nullptr;
};
