#include "framework/Wnd.h"

namespace {
// The object bound to a window is kept in a window property, so any window
// class can be bound without taking its GWLP_USERDATA or DWLP_USER slot.
constexpr wchar_t kWndObjectProp[] = L"Nimbrel.CWnd";
}  // namespace

const CRuntimeClass CWnd::classCWnd = {"CWnd", nullptr};

const CRuntimeClass* CWnd::GetRuntimeClass() const noexcept { return &classCWnd; }

const AFX_MSGMAP* CWnd::GetThisMessageMap() noexcept {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, nullptr, nullptr}};
  static const AFX_MSGMAP messageMap = {nullptr, &entries[0]};
  return &messageMap;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const noexcept { return GetThisMessageMap(); }

CWnd::~CWnd() {
  if (m_hWnd != nullptr) {
    UnbindWindow();
  }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) noexcept {
  if (hWnd == nullptr) {
    return nullptr;
  }
  return static_cast<CWnd*>(GetPropW(hWnd, kWndObjectProp));
}

BOOL CWnd::BindWindow(HWND hWnd) noexcept {
  if (hWnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hWnd) != nullptr) {
    return FALSE;
  }
  if (!SetPropW(hWnd, kWndObjectProp, this)) {
    return FALSE;
  }
  m_hWnd = hWnd;
  m_pfnSuper = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWndProc)));
  return TRUE;
}

CUniqueWindow CWnd::CreateBoundWindow(LPCWSTR lpszClassName, DWORD dwExStyle,
                                      DWORD dwStyle) noexcept {
  HINSTANCE hInstance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &::DefWindowProcW;
  wc.hInstance = hInstance;
  wc.lpszClassName = lpszClassName;
  RegisterClassExW(&wc);  // fails harmlessly when already registered
  CUniqueWindow window(CreateWindowExW(dwExStyle, lpszClassName, nullptr, dwStyle, 0, 0, 0, 0,
                                       nullptr, nullptr, hInstance, nullptr));
  if (!window || !BindWindow(window.Get())) {
    return {};
  }
  return window;
}

HWND CWnd::UnbindWindow() noexcept {
  HWND hWnd = m_hWnd;
  if (hWnd == nullptr) {
    return nullptr;
  }
  if (IsWindow(hWnd)) {
    if (m_pfnSuper != nullptr) {
      SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    }
    RemovePropW(hWnd, kWndObjectProp);
  }
  m_hWnd = nullptr;
  m_pfnSuper = nullptr;
  return hWnd;
}

LRESULT CALLBACK CWnd::StaticWndProc(HWND hWnd, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept {
  CWnd* pWnd = FromHandlePermanent(hWnd);
  if (pWnd == nullptr) {
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    LRESULT lResult = pWnd->DefWindowProc(message, wParam, lParam);
    pWnd->UnbindWindow();
    pWnd->PostNcDestroy();
    return lResult;
  }
  const CurrentMessage saved = pWnd->m_msgCur;
  pWnd->m_msgCur = {message, wParam, lParam};
  LRESULT lResult = pWnd->WindowProc(message, wParam, lParam);
  pWnd->m_msgCur = saved;
  return lResult;
}

const AFX_MSGMAP_ENTRY* CWnd::FindEntry(UINT message) const noexcept {
  for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != nullptr;
       pMap = pMap->pfnGetBaseMap != nullptr ? pMap->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->pfnThunk != nullptr; ++pEntry) {
      const UINT nEntryMessage =
          pEntry->pnMessage != nullptr ? *pEntry->pnMessage : pEntry->nMessage;
      // A registered message whose registration failed (id 0) matches nothing.
      if (pEntry->pnMessage != nullptr && nEntryMessage == 0) {
        continue;
      }
      if (nEntryMessage == message) {
        return pEntry;
      }
    }
  }
  return nullptr;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  const AFX_MSGMAP_ENTRY* pEntry = FindEntry(message);
  if (pEntry == nullptr) {
    return DefWindowProc(message, wParam, lParam);
  }
  return pEntry->pfnThunk(this, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (m_pfnSuper != nullptr) {
    return CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
  }
  return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() noexcept {
  return DefWindowProc(m_msgCur.message, m_msgCur.wParam, m_msgCur.lParam);
}

void CWnd::SetWindowText(LPCWSTR lpszString) noexcept { ::SetWindowTextW(m_hWnd, lpszString); }

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags) noexcept {
  const DWORD dwStyle = static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE));
  const DWORD dwNewStyle = (dwStyle & ~dwRemove) | dwAdd;
  if (dwStyle == dwNewStyle) {
    return FALSE;
  }
  SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(dwNewStyle));
  if (nFlags != 0) {
    SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
  }
  return TRUE;
}

BOOL CWnd::ShowWindow(int nCmdShow) noexcept { return ::ShowWindow(m_hWnd, nCmdShow); }

BOOL CWnd::UpdateWindow() noexcept { return ::UpdateWindow(m_hWnd); }

BOOL CWnd::DestroyWindow() noexcept {
  if (m_hWnd == nullptr) {
    return FALSE;
  }
  return ::DestroyWindow(m_hWnd);
}
