#pragma once
// CWnd: a C++ object bound to one window at a time. The window's messages go
// through the class's message map; whatever has no entry, and whatever a
// handler hands on with Default(), gets the window's own default processing
// (the window procedure it had before we took it over).

#include <windows.h>

#include "framework/MessageMap.h"
#include "framework/RuntimeClass.h"
#include "common/UniqueHandle.h"

class CWnd {
 public:
  static const CRuntimeClass classCWnd;
  virtual const CRuntimeClass* GetRuntimeClass() const noexcept;
  [[nodiscard]] bool IsKindOf(const CRuntimeClass* pClass) const noexcept {
    return GetRuntimeClass()->IsDerivedFrom(pClass);
  }

  CWnd() noexcept = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  // The object never outlives its window silently: a window still bound at
  // destruction is unbound first, so it can no longer call into freed memory.
  virtual ~CWnd();

  HWND m_hWnd = nullptr;

  [[nodiscard]] HWND GetSafeHwnd() const noexcept { return m_hWnd; }
  [[nodiscard]] static CWnd* FromHandlePermanent(HWND hWnd) noexcept;

  void SetWindowText(LPCWSTR lpszString) noexcept;
  BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0) noexcept;
  BOOL ShowWindow(int nCmdShow) noexcept;
  BOOL UpdateWindow() noexcept;
  virtual BOOL DestroyWindow() noexcept;

  // Runs the window's default processing for the message being handled.
  LRESULT Default() noexcept;

 protected:
  static const AFX_MSGMAP* GetThisMessageMap() noexcept;
  virtual const AFX_MSGMAP* GetMessageMap() const noexcept;

  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  // Called after the window is gone (WM_NCDESTROY) and the object unbound.
  virtual void PostNcDestroy() noexcept {}

  // Binds the object to hWnd and routes its messages through the message map.
  BOOL BindWindow(HWND hWnd) noexcept;
  // A new hidden window of lpszClassName (registered on first use, with the
  // platform's default processing), bound to this object. The caller owns it;
  // empty when it could not be made.
  [[nodiscard]] CUniqueWindow CreateBoundWindow(LPCWSTR lpszClassName, DWORD dwExStyle,
                                                DWORD dwStyle) noexcept;
  HWND UnbindWindow() noexcept;

  // The procedure that gives the window its default processing.
  WNDPROC m_pfnSuper = nullptr;

  // Handlers the message map can name; each runs the default processing.
  void OnPaint() noexcept { Default(); }
  void OnClose() noexcept { Default(); }
  void OnDestroy() noexcept { Default(); }
  BOOL OnEraseBkgnd(HDC) noexcept { return static_cast<BOOL>(Default()); }
  void OnTimer(UINT_PTR) noexcept { Default(); }
  void OnSettingChange(UINT, LPCWSTR) noexcept { Default(); }
  void OnDisplayChange(UINT, int, int) noexcept { Default(); }
  LRESULT OnNcHitTest(POINT) noexcept { return Default(); }
  void OnLButtonDown(UINT, POINT) noexcept { Default(); }
  void OnLButtonUp(UINT, POINT) noexcept { Default(); }
  void OnMouseMove(UINT, POINT) noexcept { Default(); }
  void OnRButtonUp(UINT, POINT) noexcept { Default(); }
  void OnCaptureChanged(HWND) noexcept { Default(); }

 private:
  struct CurrentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };

  static LRESULT CALLBACK StaticWndProc(HWND hWnd, UINT message, WPARAM wParam,
                                        LPARAM lParam) noexcept;
  [[nodiscard]] const AFX_MSGMAP_ENTRY* FindEntry(UINT message) const noexcept;

  CurrentMessage m_msgCur{};
};
