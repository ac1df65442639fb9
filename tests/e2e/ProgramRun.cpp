#include "ProgramRun.h"

#include <chrono>
#include <thread>
#include <vector>

namespace {
struct BoxSearch {
  DWORD m_nProcessId;
  HWND m_hBox;
};

BOOL CALLBACK FindBox(HWND hWnd, LPARAM lParam) {
  auto* pSearch = reinterpret_cast<BoxSearch*>(lParam);
  DWORD nProcessId = 0;
  GetWindowThreadProcessId(hWnd, &nProcessId);
  wchar_t szClass[16] = {};
  GetClassNameW(hWnd, szClass, 16);
  if (nProcessId == pSearch->m_nProcessId && IsWindowVisible(hWnd) &&
      std::wstring(szClass) == L"#32770") {
    pSearch->m_hBox = hWnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectStaticText(HWND hWnd, LPARAM lParam) {
  auto* pText = reinterpret_cast<std::wstring*>(lParam);
  wchar_t szClass[16] = {};
  GetClassNameW(hWnd, szClass, 16);
  if (_wcsicmp(szClass, L"Static") != 0) {
    return TRUE;
  }
  wchar_t szText[256] = {};
  GetWindowTextW(hWnd, szText, 256);
  if (szText[0] != L'\0' && pText->empty()) {
    *pText = szText;
  }
  return TRUE;
}
}  // namespace

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
  ProgramBox box;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
  do {
    BoxSearch search{m_pi.dwProcessId, nullptr};
    EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&search));
    if (search.m_hBox != nullptr) {
      box.m_hWnd = search.m_hBox;
      wchar_t szCaption[128] = {};
      GetWindowTextW(box.m_hWnd, szCaption, 128);
      box.m_caption = szCaption;
      EnumChildWindows(box.m_hWnd, &CollectStaticText, reinterpret_cast<LPARAM>(&box.m_text));
      if (!box.m_text.empty()) {
        return box;
      }
    }
    if (!IsRunning()) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < end);
  return box;
}

void CProgramRun::Dismiss(const ProgramBox& box) noexcept {
  if (box.m_hWnd == nullptr) {
    return;
  }
  HWND hOk = GetDlgItem(box.m_hWnd, IDOK);
  PostMessageW(box.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(hOk));
}

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
