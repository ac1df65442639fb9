#pragma once
// A command line split the way Windows hands it to a program
// (CommandLineToArgvW): the program first, then its arguments. An empty line
// gives nothing (CommandLineToArgvW would name the running program).

#include <string>
#include <vector>

[[nodiscard]] std::vector<std::wstring> SplitCommandLine(const wchar_t* pszCommandLine);
