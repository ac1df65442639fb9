#include "app/BuildGate.h"

#include <cstdlib>

#include "common/RegistryKey.h"

namespace {
constexpr DWORD kBuildTextBytes = 64;
}

bool ReadWindowsBuildNumber(DWORD& nBuild) noexcept {
  nBuild = 0;
  CRegistryKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, kCurrentVersionKey, KEY_READ)) {
    return false;
  }
  DWORD dwType = 0;
  DWORD nValue = 0;
  DWORD cbValue = sizeof(nValue);
  if (key.QueryBytes(kCurrentBuildNumberValue, &nValue, cbValue, &dwType) == ERROR_SUCCESS &&
      dwType == REG_DWORD) {
    nBuild = nValue;
  } else {
    // One character more than the read may fill: a 64-byte text without a
    // terminator still ends here.
    wchar_t szText[kBuildTextBytes / sizeof(wchar_t) + 1] = {};
    DWORD cbText = kBuildTextBytes;
    if (key.QueryBytes(kCurrentBuildNumberValue, szText, cbText) == ERROR_SUCCESS) {
      nBuild = static_cast<DWORD>(_wtoi(szText));
    }
  }
  return true;
}

bool IsSupportedWindowsBuild() noexcept {
  DWORD nBuild = 0;
  return ReadWindowsBuildNumber(nBuild) && nBuild >= kMinimumWindowsBuild;
}
