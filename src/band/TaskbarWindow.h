#pragma once
// CTaskbarWindow: the band. A modeless dialog that docks itself inside the
// taskbar window and holds all of the band's state: the taskbar it lives in,
// the composition surface, the poll's section access and the values on
// display, the two line texts, placement, drag and lock state.
//
// Its members are defined across band/ by capability: window and messages
// (TaskbarWindow.cpp), drawing (BandDrawing.cpp), placement and dragging
// (Placement.cpp), saved position (Persistence.cpp), menu (ContextMenu.cpp).

#include <windows.h>

#include <memory>
#include <optional>

#include "band/TaskbarWatch.h"
#include "band/TrafficSection.h"
#include "feed/FormatRate.h"
#include "common/SharedTrafficRecord.h"
#include "feed/TrafficState.h"
#include "framework/Dialog.h"
#include "render/CompositionRenderer.h"
#include "render/SurfaceRecovery.h"
#include "res/resource.h"

// The id of the "TaskbarCreated" message, registered when the program starts.
extern UINT g_uTaskbarCreatedMsg;
inline constexpr wchar_t kTaskbarCreatedMessage[] = L"TaskbarCreated";

inline constexpr wchar_t kBandWindowTitle[] = L"Nimbrel";
inline constexpr wchar_t kTaskbarClass[] = L"Shell_TrayWnd";
inline constexpr wchar_t kTrayNotifyClass[] = L"TrayNotifyWnd";
inline constexpr UINT kBandTimerPeriodMs = 100;

class CTaskbarWindow : public CDialogEx {
  DECLARE_DYNAMIC(CTaskbarWindow)

 public:
  CTaskbarWindow() noexcept;
  ~CTaskbarWindow() override;

  BOOL Create(UINT nIDTemplate, HWND hWndParent) noexcept override;
  BOOL OnInitDialog() noexcept override;

  // One frame, when the surface is up.
  void DrawBand() noexcept;
  // One look at the publisher's section; invalidates the band when the
  // values on display changed.
  void PollTrafficRecord() noexcept;

  // Placement and dragging (Placement.cpp).
  void UpdateLayout() noexcept;
  // The tick's check: follows a moved notification area unless placed by hand;
  // a band placed by hand follows a taskbar whose rectangle changed.
  void CheckRelayout() noexcept;
  // After a settings, display or taskbar change: back to the default place,
  // or, placed by hand, the same place at the taskbar's current height when
  // it still fits there.
  void FollowTaskbar() noexcept;
  // m_rcTaskbar from the taskbar as it is now (kept when it cannot be read).
  void RefreshTaskbarRect() noexcept;
  // The tick's step for a surface lost with its device: built again, with a
  // back-off while that fails.
  void RebuildLostSurface() noexcept;
  // Resumed from sleep, unlocked, reconnected, the display back on: the
  // taskbar may have changed meanwhile and the device may be gone; a fresh
  // frame shows either at once.
  void OnSessionResumed() noexcept;
  // Saved position (Persistence.cpp).
  void SavePosition() noexcept;
  void LoadPosition() noexcept;
  // The right-click menu, at a screen point (ContextMenu.cpp).
  void ShowContextMenu(POINT ptScreen) noexcept;

  // A new taskbar: the band is built again inside it, surface and all, and
  // the process goes on. Also reached through the hidden watch window, since
  // a docked band is no top-level window and hears no broadcast.
  LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam) noexcept;

 protected:
  void PostNcDestroy() noexcept override;

  void OnPaint() noexcept;
  void OnClose() noexcept;
  BOOL OnEraseBkgnd(HDC hDC) noexcept;
  void OnTimer(UINT_PTR nIDEvent) noexcept;
  void OnSettingChange(UINT uFlags, LPCWSTR lpszSection) noexcept;
  void OnDisplayChange(UINT nBitsPerPixel, int cx, int cy) noexcept;
  void OnLButtonDown(UINT nFlags, POINT point) noexcept;
  void OnMouseMove(UINT nFlags, POINT point) noexcept;
  void OnLButtonUp(UINT nFlags, POINT point) noexcept;
  // Losing the mouse capture ends a drag as a drop would.
  void OnCaptureChanged(HWND hWndNewCapture) noexcept;
  void OnRButtonUp(UINT nFlags, POINT point) noexcept;
  LRESULT OnNcHitTest(POINT point) noexcept;
  // Keeps the band hidden on a vertical taskbar, whoever asks to show it.
  LRESULT OnWindowPosChanging(WPARAM wParam, LPARAM lParam) noexcept;
  void OnDestroy() noexcept;

  DECLARE_MESSAGE_MAP()

 private:
  // Shows the box, then closes the band so that the process ends non-zero.
  BOOL FailInitialization(LPCWSTR lpszText) noexcept;
  // The one teardown, run by every path that takes the window down: the
  // destructor, OnClose, the rebuild and the window's own destruction. Ends a
  // drag, stops the timer and lets go of the surface and the section.
  void ReleaseBandResources() noexcept;
  // What a new band object starts with, for the rebuild in a new taskbar.
  void ResetToStartState() noexcept;

  // Placement steps (Placement.cpp). A drop decides between placed by hand
  // and back to the default place.
  void DropBand() noexcept;
  // The taskbar's rectangle and the default place in it, moving nothing; the
  // notification area's left edge (screen x), when there is one.
  std::optional<LONG> LayOutDefaultPlace() noexcept;
  // On a taskbar at a side of the screen: hidden, and true.
  [[nodiscard]] bool HideOnVerticalTaskbar() noexcept;
  // At x, y in the taskbar with the default place's size, shown, the surface
  // at that size.
  void PlaceBand(LONG x, LONG y) noexcept;

  // The tests' one way to the state below (tests/band/support/BandTestPeer.h).
  friend class CBandTestPeer;

  HWND m_hTaskbarWnd = nullptr;
  RECT m_rcTaskbar{};
  CCompositionRenderer m_renderer;
  BOOL m_bRendererReady = FALSE;
  int m_nTrayNotifyLeft = 0;
  CUniqueHandle m_hMapping;
  CTrafficView m_pView;
  static constexpr int m_cbView = static_cast<int>(kTrafficViewBytes);
  TrafficState m_traffic;
  std::unique_ptr<wchar_t[]> m_pszLowerText;
  std::unique_ptr<wchar_t[]> m_pszUpperText;
  RECT m_rcDefault{};
  BOOL m_bDragging = FALSE;
  int m_nDragGrabX = 0;
  BOOL m_bManuallyPositioned = FALSE;
  BOOL m_bLocked = FALSE;
  // The taskbar's rectangle at the last layout; a band placed by hand follows
  // when the tick finds another one.
  RECT m_rcTaskbarLaidOut{};
  // Hidden because the taskbar stands on a side of the screen (said once).
  BOOL m_bHiddenOnVerticalTaskbar = FALSE;
  // When a surface lost with its device is tried again.
  CRebuildSchedule m_rebuild;

  // Destroying the window ends the message loop only when the band itself
  // closes (WM_CLOSE, or a failed start); not when it goes down with the
  // taskbar or is being rebuilt for a new one.
  BOOL m_bQuitOnDestroy = FALSE;
  // The code the loop ends with: 0 after WM_CLOSE, 1 after a failed start.
  int m_nExitCode = 0;
  // Hears "TaskbarCreated" for the band, and lives across its rebuilds.
  CTaskbarWatch m_wndWatch{*this};
};
