#include "publisher/options/CommandLineQuoting.h"

std::wstring QuoteArgument(std::wstring_view arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
    return std::wstring(arg);
  }
  // Backslashes are literal unless a quote follows them; before a quote (the
  // escaped one or the closing one) each must be doubled.
  std::wstring quoted = L"\"";
  std::size_t nBackslashes = 0;
  for (const wchar_t ch : arg) {
    if (ch == L'\\') {
      ++nBackslashes;
      continue;
    }
    if (ch == L'"') {
      quoted.append(nBackslashes * 2 + 1, L'\\');
    } else {
      quoted.append(nBackslashes, L'\\');
    }
    nBackslashes = 0;
    quoted.push_back(ch);
  }
  quoted.append(nBackslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

std::wstring BuildCommandLine(std::wstring_view exePath, const std::vector<std::wstring>& args) {
  std::wstring commandLine = L"\"";
  commandLine += exePath;
  commandLine += L'"';
  for (const std::wstring& arg : args) {
    commandLine += L' ';
    commandLine += QuoteArgument(arg);
  }
  return commandLine;
}
