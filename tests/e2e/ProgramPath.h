#pragma once
// Where the built Nimbrel.exe is, for the tests that load or start it.

#include <string>

// The build passes the executable's path as the build machine knows it
// (NIMBREL_EXE_PATH); under Wine a Unix path is reached through drive Z:.
[[nodiscard]] inline std::wstring ProgramPath() {
  const std::string path = NIMBREL_EXE_PATH;
  std::wstring wide(path.begin(), path.end());
  if (!wide.empty() && wide[0] == L'/') {
    for (wchar_t& ch : wide) {
      if (ch == L'/') {
        ch = L'\\';
      }
    }
    wide = L"Z:" + wide;
  }
  return wide;
}
