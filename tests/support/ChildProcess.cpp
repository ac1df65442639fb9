#include "support/ChildProcess.h"

#include "publisher/system/PublisherNames.h"

#include <vector>

namespace {

struct PipeReader {
  HANDLE hRead;
  std::string* pText;
};

DWORD WINAPI DrainPipe(void* pParam) {
  const auto* pReader = static_cast<PipeReader*>(pParam);
  char buffer[4096];
  DWORD cbRead = 0;
  while (ReadFile(pReader->hRead, buffer, sizeof(buffer), &cbRead, nullptr) && cbRead > 0) {
    pReader->pText->append(buffer, cbRead);
  }
  delete pReader;
  return 0;
}

bool MakePipe(HANDLE& hRead, HANDLE& hWrite) {
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  if (!CreatePipe(&hRead, &hWrite, &sa, 0)) return false;
  SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
  return true;
}

}  // namespace

std::wstring TestRelativePath(const std::wstring& strRelative) {
  wchar_t szPath[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, szPath, MAX_PATH);
  std::wstring path(szPath);
  path.resize(path.rfind(L'\\') + 1);
  return path + strRelative;
}

std::wstring PublisherExePath(PublisherVariant variant) {
  return TestRelativePath(
      std::wstring(NIMBREL_PUBLISHER_RELDIR) +
      (variant == PublisherVariant::Console ? kConsoleExeName : kWindowlessExeName));
}

CChildProcess::~CChildProcess() {
  if (m_pi.hProcess != nullptr) (void)Finish(0);
}

bool CChildProcess::Start(const std::wstring& strArguments, PublisherVariant variant,
                          ChildConsole console) {
  return StartCommandLine(L"\"" + PublisherExePath(variant) + L"\" " + strArguments, true, console);
}

bool CChildProcess::StartCommandLine(const std::wstring& strCommandLine, bool bCaptureOutput,
                                     ChildConsole console) {
  HANDLE hOutWrite = nullptr;
  HANDLE hErrWrite = nullptr;
  if (bCaptureOutput && (!MakePipe(m_hOutRead, hOutWrite) || !MakePipe(m_hErrRead, hErrWrite))) {
    return false;
  }

  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = bCaptureOutput ? GetStdHandle(STD_INPUT_HANDLE) : nullptr;
  si.hStdOutput = hOutWrite;
  si.hStdError = hErrWrite;
  std::vector<wchar_t> buffer(strCommandLine.begin(), strCommandLine.end());
  buffer.push_back(L'\0');
  const DWORD dwFlags = console == ChildConsole::Own ? CREATE_NEW_CONSOLE : 0;
  const BOOL bStarted = CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, bCaptureOutput,
                                       dwFlags, nullptr, nullptr, &si, &m_pi);
  if (bCaptureOutput) {
    CloseHandle(hOutWrite);
    CloseHandle(hErrWrite);
  }
  if (!bStarted) {
    m_pi = {};
    return false;
  }
  if (bCaptureOutput) {
    m_hOutThread =
        CreateThread(nullptr, 0, DrainPipe, new PipeReader{m_hOutRead, &m_strOut}, 0, nullptr);
    m_hErrThread =
        CreateThread(nullptr, 0, DrainPipe, new PipeReader{m_hErrRead, &m_strErr}, 0, nullptr);
  }
  return true;
}

bool CChildProcess::WaitForExit(DWORD dwTimeoutMs) const {
  return m_pi.hProcess != nullptr &&
         WaitForSingleObject(m_pi.hProcess, dwTimeoutMs) == WAIT_OBJECT_0;
}

bool CChildProcess::PressCtrlC() const {
  // A helper attaches to the child's console and presses it there, so that
  // the test's own console stays as it is.
  std::wstring commandLine =
      L"\"" + TestRelativePath(L"press-ctrl-c.exe") + L"\" " + std::to_wstring(m_pi.dwProcessId);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi)) {
    return false;
  }
  DWORD dwExit = 1;
  if (WaitForSingleObject(pi.hProcess, 10'000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(pi.hProcess, &dwExit);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return dwExit == 0;
}

ChildResult CChildProcess::Finish(DWORD dwTimeoutMs) {
  ChildResult result;
  if (m_pi.hProcess == nullptr) return result;
  result.m_bStarted = true;
  if (WaitForSingleObject(m_pi.hProcess, dwTimeoutMs) == WAIT_OBJECT_0) {
    result.m_bExited = true;
    GetExitCodeProcess(m_pi.hProcess, &result.m_dwExitCode);
  } else {
    TerminateProcess(m_pi.hProcess, 99);
    WaitForSingleObject(m_pi.hProcess, 5000);
  }
  for (HANDLE hThread : {m_hOutThread, m_hErrThread}) {
    if (hThread == nullptr) continue;
    WaitForSingleObject(hThread, 5000);
    CloseHandle(hThread);
  }
  for (HANDLE hPipe : {m_hOutRead, m_hErrRead}) {
    if (hPipe != nullptr) CloseHandle(hPipe);
  }
  CloseHandle(m_pi.hThread);
  CloseHandle(m_pi.hProcess);
  m_pi = {};
  m_hOutThread = m_hErrThread = m_hOutRead = m_hErrRead = nullptr;
  result.m_strOut = std::move(m_strOut);
  result.m_strErr = std::move(m_strErr);
  return result;
}

ChildResult RunPublisher(const std::wstring& strArguments, DWORD dwTimeoutMs,
                         PublisherVariant variant) {
  CChildProcess child;
  if (!child.Start(strArguments, variant)) return {};
  return child.Finish(dwTimeoutMs);
}
