#include "publisher/output/PublisherOutput.h"

#include "publisher/output/LineSanitizer.h"
#include "publisher/output/ConsoleWriter.h"

void COutputSink::Emit(OutputStream stream, std::wstring_view text) noexcept {
  // A final line break ends the last line; it does not start an empty one.
  if (!text.empty() && text.back() == L'\n') {
    text.remove_suffix(1);
  }
  for (;;) {
    const std::size_t nBreak = text.find(L'\n');
    std::wstring_view line = text.substr(0, nBreak);
    if (!line.empty() && line.back() == L'\r') {
      line.remove_suffix(1);
    }
    // Lines carry router texts and URLs: made safe here, once, for the
    // console, the debugger output and the log alike.
    Write(stream, SanitizeConsoleLine(line));
    if (nBreak == std::wstring_view::npos) {
      return;
    }
    text.remove_prefix(nBreak + 1);
  }
}

HANDLE StandardHandle(OutputStream stream) noexcept {
  switch (stream) {
    case OutputStream::Out:
      return GetStdHandle(STD_OUTPUT_HANDLE);
    case OutputStream::Err:
      return GetStdHandle(STD_ERROR_HANDLE);
    case OutputStream::Note:
      break;
  }
  return nullptr;
}

void CConsoleSink::Write(OutputStream stream, std::wstring_view line) noexcept {
  WriteLine(StandardHandle(stream), line);
}
