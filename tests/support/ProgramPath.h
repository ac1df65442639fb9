#pragma once
// Where the built programs are, for the tests that load or start them.

#include <string>

// The build passes each path as the build machine knows it; under Wine a Unix
// path is reached through drive Z:.
[[nodiscard]] inline std::wstring WindowsPath(const std::string& path) {
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

// The shipped Nimbrel.exe (NIMBREL_EXE_PATH).
[[nodiscard]] inline std::wstring ProgramPath() { return WindowsPath(NIMBREL_EXE_PATH); }
