#pragma once
// Command lines the way CommandLineToArgvW reads them back: the log-on entry
// must hand the windowless publisher exactly the options it was given.

#include <string>
#include <string_view>
#include <vector>

// One argument, quoted (with its backslashes and quotes escaped) only where
// it has to be.
[[nodiscard]] std::wstring QuoteArgument(std::wstring_view arg);

// The program's path always quoted (it may hold spaces), then each argument.
// The path itself must not hold a quote; no Windows path can.
[[nodiscard]] std::wstring BuildCommandLine(std::wstring_view exePath,
                                            const std::vector<std::wstring>& args);
