#include "publisher/output/ConsoleWriter.h"

#include <string>

void WriteLine(HANDLE hOutput, std::wstring_view line) noexcept {
  if (hOutput == nullptr || hOutput == INVALID_HANDLE_VALUE) {
    return;
  }
  std::wstring text(line);
  text += L"\r\n";
  DWORD dwMode = 0;
  DWORD dwWritten = 0;
  if (GetConsoleMode(hOutput, &dwMode)) {
    WriteConsoleW(hOutput, text.data(), static_cast<DWORD>(text.size()), &dwWritten, nullptr);
    return;
  }
  const int cbUtf8 = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (cbUtf8 <= 0) {
    return;
  }
  std::string utf8(static_cast<std::size_t>(cbUtf8), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), cbUtf8,
                      nullptr, nullptr);
  WriteFile(hOutput, utf8.data(), static_cast<DWORD>(utf8.size()), &dwWritten, nullptr);
}
