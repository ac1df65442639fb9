#pragma once
// A Win32 error as one line: "error 5: Access is denied".

#include <windows.h>

#include <string>

[[nodiscard]] std::wstring SystemMessage(DWORD dwError);
