#pragma once
// Runs nimbrel-publisher.exe or nimbrel-publisherw.exe (built next to the
// tests) with its output captured, so tests see exactly what a user's console
// (or a script redirecting the windowless one) would.

#include <windows.h>

#include <string>

#include "common/UniqueHandle.h"

struct ChildResult {
  bool m_bStarted = false;
  bool m_bExited = false;  // false: still running when the wait ran out
  DWORD m_dwExitCode = 0;
  std::string m_strOut;
  std::string m_strErr;
};

enum class PublisherVariant { Console, Windowless };

// A path relative to the folder of the running test executable.
[[nodiscard]] std::wstring TestRelativePath(const std::wstring& strRelative);

// Own: the child gets a console of its own, in which Ctrl+C can be pressed
// (Wine's console for a program started from a terminal sends no control events).
enum class ChildConsole { Shared, Own };

// The publisher's full path, found relative to the running test.
[[nodiscard]] std::wstring PublisherExePath(PublisherVariant variant = PublisherVariant::Console);

class CChildProcess {
 public:
  CChildProcess() = default;
  ~CChildProcess();
  CChildProcess(const CChildProcess&) = delete;
  CChildProcess& operator=(const CChildProcess&) = delete;

  [[nodiscard]] bool Start(const std::wstring& strArguments,
                           PublisherVariant variant = PublisherVariant::Console,
                           ChildConsole console = ChildConsole::Shared);
  // A whole command line, the program first (as a log-on entry holds it).
  // Without output capture the child gets no standard handles at all.
  [[nodiscard]] bool StartCommandLine(const std::wstring& strCommandLine,
                                      bool bCaptureOutput = true,
                                      ChildConsole console = ChildConsole::Shared);
  [[nodiscard]] DWORD ProcessId() const noexcept { return m_dwProcessId; }
  [[nodiscard]] HANDLE Process() const noexcept { return m_hProcess.Get(); }
  // Waits for the exit (or kills after dwTimeoutMs) and collects the output.
  [[nodiscard]] ChildResult Finish(DWORD dwTimeoutMs);
  // True once the process has ended, waiting at most dwTimeoutMs.
  [[nodiscard]] bool WaitForExit(DWORD dwTimeoutMs) const;
  // Ctrl+C in the child's own console (started with ChildConsole::Own).
  [[nodiscard]] bool PressCtrlC() const;

 private:
  CUniqueHandle m_hProcess;
  DWORD m_dwProcessId = 0;
  CUniqueHandle m_hOutRead;
  CUniqueHandle m_hErrRead;
  CUniqueHandle m_hOutThread;
  CUniqueHandle m_hErrThread;
  std::string m_strOut;
  std::string m_strErr;
};

// Start, wait for the exit, return what it printed.
[[nodiscard]] ChildResult RunPublisher(const std::wstring& strArguments, DWORD dwTimeoutMs,
                                       PublisherVariant variant = PublisherVariant::Console);
