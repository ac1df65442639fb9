#pragma once
// Runs a built program (by default the real Nimbrel.exe) as a separate
// process and deals with the message boxes it shows, from outside: find a box
// of that process, read its caption and text, press its OK button. Whatever
// happens in a test, no box is left waiting and no process is left running.

#include <windows.h>

#include <string>

#include "common/UniqueHandle.h"
#include "support/ProcessBox.h"
#include "support/ProgramPath.h"

class CProgramRun {
 public:
  CProgramRun() noexcept = default;
  CProgramRun(const CProgramRun&) = delete;
  CProgramRun& operator=(const CProgramRun&) = delete;
  ~CProgramRun();

  // Starts the program; false when it could not be started. Wine's DLL
  // overrides for the new process get pszDllOverrides added (for the
  // composition stand-in: L"dcomp=n,b"). strArguments follow the quoted path.
  bool Start(const std::wstring& path = ProgramPath(), const wchar_t* pszDllOverrides = nullptr,
             const std::wstring& strArguments = {});
  // The first visible message box of the process, within the timeout.
  [[nodiscard]] ProgramBox WaitForBox(DWORD nTimeoutMs) const;
  static void Dismiss(const ProgramBox& box) noexcept;
  // The exit code, or STILL_ACTIVE when it has not ended within the timeout.
  [[nodiscard]] DWORD WaitForExit(DWORD nTimeoutMs) const noexcept;
  [[nodiscard]] bool IsRunning() const noexcept;
  [[nodiscard]] HANDLE Process() const noexcept { return m_hProcess.Get(); }
  [[nodiscard]] DWORD ProcessId() const noexcept { return m_dwProcessId; }

 private:
  CUniqueHandle m_hProcess;
  DWORD m_dwProcessId = 0;
};
