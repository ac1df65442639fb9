#pragma once
// One open registry key, closed when it goes out of scope, with the reads and
// writes the program makes. Every read is bounded by the caller's buffer.

#include <windows.h>

#include <string>

#include "common/UniqueHandle.h"

class CRegistryKey {
 public:
  [[nodiscard]] bool Open(HKEY hRoot, LPCWSTR lpszSubKey, REGSAM samDesired) noexcept {
    return OpenStatus(hRoot, lpszSubKey, samDesired) == ERROR_SUCCESS;
  }
  [[nodiscard]] bool Create(HKEY hRoot, LPCWSTR lpszSubKey, REGSAM samDesired) noexcept {
    return CreateStatus(hRoot, lpszSubKey, samDesired) == ERROR_SUCCESS;
  }
  // The same, with the system's own reason when the key is not open.
  [[nodiscard]] LSTATUS OpenStatus(HKEY hRoot, LPCWSTR lpszSubKey, REGSAM samDesired) noexcept {
    return RegOpenKeyExW(hRoot, lpszSubKey, 0, samDesired, m_key.Put());
  }
  [[nodiscard]] LSTATUS CreateStatus(HKEY hRoot, LPCWSTR lpszSubKey, REGSAM samDesired) noexcept {
    return RegCreateKeyExW(hRoot, lpszSubKey, 0, nullptr, 0, samDesired, nullptr, m_key.Put(),
                           nullptr);
  }

  // At most cbData bytes into pData, whatever the value's type (given back
  // through pdwType when asked); on return cbData holds the bytes read.
  [[nodiscard]] LSTATUS QueryBytes(LPCWSTR lpszName, void* pData, DWORD& cbData,
                                   DWORD* pdwType = nullptr) const noexcept {
    return RegQueryValueExW(m_key.Get(), lpszName, nullptr, pdwType, static_cast<BYTE*>(pData),
                            &cbData);
  }
  // Reads at most 4 bytes into a DWORD that starts as 0, whatever the value's
  // type; anything longer counts as missing.
  [[nodiscard]] bool QueryDword(LPCWSTR lpszName, DWORD& dwValue) const noexcept {
    dwValue = 0;
    DWORD cbValue = sizeof(dwValue);
    return QueryBytes(lpszName, &dwValue, cbValue) == ERROR_SUCCESS;
  }
  // Whether the value exists, whatever its type and length.
  [[nodiscard]] bool HasValue(LPCWSTR lpszName) const noexcept {
    return RegQueryValueExW(m_key.Get(), lpszName, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
  }

  LSTATUS SetDword(LPCWSTR lpszName, DWORD dwValue) const noexcept {
    return RegSetValueExW(m_key.Get(), lpszName, 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue));
  }
  // REG_SZ, its terminator counted in the stored size.
  LSTATUS SetString(LPCWSTR lpszName, const std::wstring& value) const noexcept {
    return RegSetValueExW(m_key.Get(), lpszName, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  LSTATUS DeleteValue(LPCWSTR lpszName) const noexcept {
    return RegDeleteValueW(m_key.Get(), lpszName);
  }

 private:
  CUniqueKey m_key;
};
