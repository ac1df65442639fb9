#include "WindowlessOutput.h"

#include <string>

#include "ConsoleText.h"

void CWindowlessSink::Write(OutputStream stream, std::wstring_view line) noexcept {
  std::wstring text(line);
  text += L'\n';
  OutputDebugStringW(text.c_str());
  WriteLine(StandardHandle(stream), line);
}
