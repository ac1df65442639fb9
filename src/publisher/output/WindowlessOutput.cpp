#include "publisher/output/WindowlessOutput.h"

#include <windows.h>

#include "publisher/output/ConsoleWriter.h"

namespace {

constexpr wchar_t kBoxCaption[] = L"Nimbrel publisher";

bool HasHandle(OutputStream stream) noexcept {
  const HANDLE hOutput = StandardHandle(stream);
  return hOutput != nullptr && hOutput != INVALID_HANDLE_VALUE;
}

}  // namespace

CWindowlessSink::CWindowlessSink(const std::wstring& strLogFolder, std::uint64_t nMaxLogBytes)
    : m_log(strLogFolder.empty() ? DefaultLogFolder() : strLogFolder, nMaxLogBytes) {}

void CWindowlessSink::Show(std::wstring_view text) noexcept {
  // Printed where the caller wants it, and kept out of the log.
  if (HasHandle(OutputStream::Out)) {
    CConsoleSink().Line(text);
    return;
  }
  const std::wstring strText(text);
  MessageBoxW(nullptr, strText.c_str(), kBoxCaption, MB_OK | MB_ICONINFORMATION);
}

void CWindowlessSink::Write(OutputStream stream, std::wstring_view line) noexcept {
  std::wstring text(line);
  text += L'\n';
  OutputDebugStringW(text.c_str());
  m_log.Append(line);
  WriteLine(StandardHandle(stream), line);
}
