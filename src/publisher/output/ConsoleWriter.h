#pragma once
// One line to a console, or as UTF-8 when the handle is a pipe or a file.

#include <windows.h>

#include <string_view>

void WriteLine(HANDLE hOutput, std::wstring_view line) noexcept;
