#include "ProgramRun.h"

CProgramRun::~CProgramRun() {
  if (m_pi.hProcess == nullptr) {
    return;
  }
  for (int i = 0; i < 5 && IsRunning(); ++i) {
    const ProgramBox box = WaitForBox(200);
    if (box.m_hWnd == nullptr) {
      break;
    }
    Dismiss(box);
  }
  if (WaitForExit(5000) == STILL_ACTIVE) {
    TerminateProcess(m_pi.hProcess, 255);
    WaitForSingleObject(m_pi.hProcess, 5000);
  }
  CloseHandle(m_pi.hThread);
  CloseHandle(m_pi.hProcess);
}

bool CProgramRun::Start() noexcept {
  std::wstring path = ProgramPath();
  std::wstring commandLine = L"\"" + path + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  return CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &m_pi) != FALSE;
}

ProgramBox CProgramRun::WaitForBox(DWORD nTimeoutMs) const {
  return WaitForProcessBox(m_pi.dwProcessId, m_pi.hProcess, nTimeoutMs);
}

void CProgramRun::Dismiss(const ProgramBox& box) noexcept { DismissBox(box); }

DWORD CProgramRun::WaitForExit(DWORD nTimeoutMs) const noexcept {
  if (WaitForSingleObject(m_pi.hProcess, nTimeoutMs) != WAIT_OBJECT_0) {
    return STILL_ACTIVE;
  }
  DWORD nExitCode = STILL_ACTIVE;
  GetExitCodeProcess(m_pi.hProcess, &nExitCode);
  return nExitCode;
}

bool CProgramRun::IsRunning() const noexcept {
  return m_pi.hProcess != nullptr && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}
