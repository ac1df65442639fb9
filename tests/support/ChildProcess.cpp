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

bool MakePipe(CUniqueHandle& hRead, CUniqueHandle& hWrite) {
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  HANDLE hNewRead = nullptr;
  HANDLE hNewWrite = nullptr;
  if (!CreatePipe(&hNewRead, &hNewWrite, &sa, 0)) return false;
  hRead.Reset(hNewRead);
  hWrite.Reset(hNewWrite);
  SetHandleInformation(hRead.Get(), HANDLE_FLAG_INHERIT, 0);
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
  if (m_hProcess) (void)Finish(0);
}

bool CChildProcess::Start(const std::wstring& strArguments, PublisherVariant variant,
                          ChildConsole console) {
  return StartCommandLine(L"\"" + PublisherExePath(variant) + L"\" " + strArguments, true, console);
}

bool CChildProcess::StartCommandLine(const std::wstring& strCommandLine, bool bCaptureOutput,
                                     ChildConsole console) {
  CUniqueHandle hOutWrite;
  CUniqueHandle hErrWrite;
  if (bCaptureOutput && (!MakePipe(m_hOutRead, hOutWrite) || !MakePipe(m_hErrRead, hErrWrite))) {
    return false;
  }

  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = bCaptureOutput ? GetStdHandle(STD_INPUT_HANDLE) : nullptr;
  si.hStdOutput = hOutWrite.Get();
  si.hStdError = hErrWrite.Get();
  std::vector<wchar_t> buffer(strCommandLine.begin(), strCommandLine.end());
  buffer.push_back(L'\0');
  const DWORD dwFlags = console == ChildConsole::Own ? CREATE_NEW_CONSOLE : 0;
  PROCESS_INFORMATION pi{};
  const BOOL bStarted = CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, bCaptureOutput,
                                       dwFlags, nullptr, nullptr, &si, &pi);
  // The child holds its own ends of the pipes now; ours would keep them open.
  hOutWrite.Reset();
  hErrWrite.Reset();
  if (!bStarted) {
    return false;
  }
  const CUniqueHandle hThread(pi.hThread);
  m_hProcess.Reset(pi.hProcess);
  m_dwProcessId = pi.dwProcessId;
  if (bCaptureOutput) {
    m_hOutThread.Reset(CreateThread(nullptr, 0, DrainPipe,
                                    new PipeReader{m_hOutRead.Get(), &m_strOut}, 0, nullptr));
    m_hErrThread.Reset(CreateThread(nullptr, 0, DrainPipe,
                                    new PipeReader{m_hErrRead.Get(), &m_strErr}, 0, nullptr));
  }
  return true;
}

bool CChildProcess::WaitForExit(DWORD dwTimeoutMs) const {
  return m_hProcess && WaitForSingleObject(m_hProcess.Get(), dwTimeoutMs) == WAIT_OBJECT_0;
}

bool CChildProcess::PressCtrlC() const {
  // A helper attaches to the child's console and presses it there, so that
  // the test's own console stays as it is.
  std::wstring commandLine =
      L"\"" + TestRelativePath(L"press-ctrl-c.exe") + L"\" " + std::to_wstring(m_dwProcessId);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi)) {
    return false;
  }
  const CUniqueHandle hThread(pi.hThread);
  const CUniqueHandle hProcess(pi.hProcess);
  DWORD dwExit = 1;
  if (WaitForSingleObject(hProcess.Get(), 10'000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(hProcess.Get(), &dwExit);
  }
  return dwExit == 0;
}

ChildResult CChildProcess::Finish(DWORD dwTimeoutMs) {
  ChildResult result;
  if (!m_hProcess) return result;
  result.m_bStarted = true;
  if (WaitForSingleObject(m_hProcess.Get(), dwTimeoutMs) == WAIT_OBJECT_0) {
    result.m_bExited = true;
    GetExitCodeProcess(m_hProcess.Get(), &result.m_dwExitCode);
  } else {
    TerminateProcess(m_hProcess.Get(), 99);
    WaitForSingleObject(m_hProcess.Get(), 5000);
  }
  for (CUniqueHandle* pThread : {&m_hOutThread, &m_hErrThread}) {
    if (!*pThread) continue;
    WaitForSingleObject(pThread->Get(), 5000);
    pThread->Reset();
  }
  m_hOutRead.Reset();
  m_hErrRead.Reset();
  m_hProcess.Reset();
  m_dwProcessId = 0;
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
