#include "support/ProgramRun.h"

#include <cwchar>
#include <string_view>

namespace {

// This process's environment with more Wine DLL overrides, as a block for
// CreateProcessW: NAME=VALUE strings, each ended by a NUL, and one more NUL.
std::wstring EnvironmentWithOverrides(const wchar_t* pszDllOverrides) {
  constexpr std::wstring_view kName = L"WINEDLLOVERRIDES=";
  std::wstring block;
  std::wstring overrides = pszDllOverrides;
  wchar_t* pEnvironment = GetEnvironmentStringsW();
  for (const wchar_t* p = pEnvironment; p != nullptr && *p != L'\0'; p += wcslen(p) + 1) {
    const std::wstring_view entry(p);
    if (entry.size() >= kName.size() && _wcsnicmp(p, kName.data(), kName.size()) == 0) {
      overrides = std::wstring(entry.substr(kName.size())) + L";" + overrides;
      continue;
    }
    block.append(entry);
    block.push_back(L'\0');
  }
  if (pEnvironment != nullptr) {
    FreeEnvironmentStringsW(pEnvironment);
  }
  block.append(kName);
  block.append(overrides);
  block.push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

}  // namespace

CProgramRun::~CProgramRun() {
  if (!m_hProcess) {
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
    TerminateProcess(m_hProcess.Get(), 255);
    WaitForSingleObject(m_hProcess.Get(), 5000);
  }
}

bool CProgramRun::Start(const std::wstring& path, const wchar_t* pszDllOverrides,
                        const std::wstring& strArguments) {
  std::wstring commandLine = L"\"" + path + L"\"";
  if (!strArguments.empty()) {
    commandLine += L" " + strArguments;
  }
  std::wstring environment;
  if (pszDllOverrides != nullptr) {
    environment = EnvironmentWithOverrides(pszDllOverrides);
  }
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT,
                      environment.empty() ? nullptr : environment.data(), nullptr, &si, &pi)) {
    return false;
  }
  const CUniqueHandle hThread(pi.hThread);
  m_hProcess.Reset(pi.hProcess);
  m_dwProcessId = pi.dwProcessId;
  return true;
}

ProgramBox CProgramRun::WaitForBox(DWORD nTimeoutMs) const {
  return WaitForProcessBox(m_dwProcessId, m_hProcess.Get(), nTimeoutMs);
}

void CProgramRun::Dismiss(const ProgramBox& box) noexcept { DismissBox(box); }

DWORD CProgramRun::WaitForExit(DWORD nTimeoutMs) const noexcept {
  if (WaitForSingleObject(m_hProcess.Get(), nTimeoutMs) != WAIT_OBJECT_0) {
    return STILL_ACTIVE;
  }
  DWORD nExitCode = STILL_ACTIVE;
  GetExitCodeProcess(m_hProcess.Get(), &nExitCode);
  return nExitCode;
}

bool CProgramRun::IsRunning() const noexcept {
  return m_hProcess && WaitForSingleObject(m_hProcess.Get(), 0) == WAIT_TIMEOUT;
}
