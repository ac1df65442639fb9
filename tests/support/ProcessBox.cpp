#include "support/ProcessBox.h"

#include <chrono>
#include <thread>

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

ProgramBox WaitForProcessBox(DWORD dwProcessId, HANDLE hProcess, DWORD nTimeoutMs) {
  ProgramBox box;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
  do {
    BoxSearch search{dwProcessId, nullptr};
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
    if (WaitForSingleObject(hProcess, 0) != WAIT_TIMEOUT) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < end);
  return box;
}

void DismissBox(const ProgramBox& box) noexcept {
  if (box.m_hWnd == nullptr) {
    return;
  }
  HWND hOk = GetDlgItem(box.m_hWnd, IDOK);
  PostMessageW(box.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(hOk));
}
