#pragma once
// Where the publisher's lines go. The console program prints them; the
// windowless one sends them to the debugger output and its log file. Every
// line of every variant passes through COutputSink, so whatever is done to
// make text safe to show is done once, for every destination.

#include <windows.h>

#include <string_view>

enum class OutputStream {
  Out,
  Err,
  Note,  // only for a record of what happened (a log), never printed
};

class COutputSink {
 public:
  COutputSink() noexcept = default;
  COutputSink(const COutputSink&) = delete;
  COutputSink& operator=(const COutputSink&) = delete;
  virtual ~COutputSink() = default;

  // text may hold several lines, separated by '\n'.
  void Line(std::wstring_view text) noexcept { Emit(OutputStream::Out, text); }
  void Error(std::wstring_view text) noexcept { Emit(OutputStream::Err, text); }
  // What the user asked to see (--help, --version): printed like Line.
  virtual void Show(std::wstring_view text) noexcept { Line(text); }
  // When publishing started and ended, for a log; a console shows none of it.
  void Note(std::wstring_view text) noexcept { Emit(OutputStream::Note, text); }
  // This process now holds the publisher's names: it is the running publisher,
  // the one that may tidy up what all of them share (the log).
  virtual void StartedPublishing() noexcept {}

 protected:
  // One line, without its line break.
  virtual void Write(OutputStream stream, std::wstring_view line) noexcept = 0;
  void Emit(OutputStream stream, std::wstring_view text) noexcept;
};

// Standard output and standard error, as the console program always printed.
class CConsoleSink final : public COutputSink {
 protected:
  void Write(OutputStream stream, std::wstring_view line) noexcept override;
};

// The standard handle a stream is printed to; null or INVALID_HANDLE_VALUE
// when there is none (always for Note).
[[nodiscard]] HANDLE StandardHandle(OutputStream stream) noexcept;
