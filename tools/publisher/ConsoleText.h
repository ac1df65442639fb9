#pragma once
// Lines to the console, or UTF-8 when output goes to a pipe or a file.

#include <windows.h>

#include <string_view>

void WriteLine(HANDLE hOutput, std::wstring_view line) noexcept;
inline void PrintLine(std::wstring_view line) noexcept {
  WriteLine(GetStdHandle(STD_OUTPUT_HANDLE), line);
}
inline void PrintError(std::wstring_view line) noexcept {
  WriteLine(GetStdHandle(STD_ERROR_HANDLE), line);
}
