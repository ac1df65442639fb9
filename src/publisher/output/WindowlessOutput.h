#pragma once
// The windowless publisher's lines: each one to the debugger output and, with
// the time in front, to its log file; to standard output or standard error
// too when the caller handed those over (a script redirecting them, a test).
// --help and --version, started with nowhere to print, show a box instead:
// the user asked to see them.

#include <cstdint>
#include <string>

#include "publisher/output/LogFile.h"
#include "publisher/output/PublisherOutput.h"

class CWindowlessSink final : public COutputSink {
 public:
  // strLogFolder: empty for the usual one (%LOCALAPPDATA%\Nimbrel).
  explicit CWindowlessSink(const std::wstring& strLogFolder,
                           std::uint64_t nMaxLogBytes = kMaxLogBytes);

  void Show(std::wstring_view text) noexcept override;
  // Only the running publisher moves a full log aside.
  void StartedPublishing() noexcept override { m_log.AllowRotation(); }

  [[nodiscard]] const std::wstring& LogPath() const noexcept { return m_log.Path(); }

 protected:
  void Write(OutputStream stream, std::wstring_view line) noexcept override;

 private:
  CLogFile m_log;
};
