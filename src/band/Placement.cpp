// The band's place in the taskbar: its default spot left of the notification
// area, following that area, and dragging it along the taskbar by hand.

#include "band/PlacementRules.h"
#include "band/TaskbarWindow.h"

namespace {

[[nodiscard]] HWND FindTrayNotify(HWND hTaskbarWnd) noexcept {
  return ::FindWindowExW(hTaskbarWnd, nullptr, kTrayNotifyClass, nullptr);
}

// The window whose left edge stops a drag: the notification area, or the
// taskbar itself when it has none.
[[nodiscard]] LONG LimitLeft(HWND hTaskbarWnd) noexcept {
  HWND hLimit = FindTrayNotify(hTaskbarWnd);
  if (hLimit == nullptr) {
    hLimit = hTaskbarWnd;
  }
  RECT rcLimit{};
  ::GetWindowRect(hLimit, &rcLimit);
  return rcLimit.left;
}

// Where the drag ended decides: far enough from the notification area the
// band stays and is placed by hand; closer, it snaps back, saving the dropped
// place first.
void DropBand(CTaskbarWindow& band) noexcept {
  RECT rcBand{};
  ::GetWindowRect(band.m_hWnd, &rcBand);
  if (IsManualDrop(LimitLeft(band.m_hTaskbarWnd), rcBand.right)) {
    band.m_bManuallyPositioned = TRUE;
    band.SavePosition();
    return;
  }
  band.m_bManuallyPositioned = FALSE;
  band.SavePosition();
  band.UpdateLayout();
}

}  // namespace

void CTaskbarWindow::UpdateLayout() noexcept {
  if (m_hTaskbarWnd == nullptr) {
    return;
  }
  ::GetWindowRect(m_hTaskbarWnd, &m_rcTaskbar);

  LONG nNotifyLeft = m_rcTaskbar.right - kMissingNotifyOffset;
  if (HWND hNotify = FindTrayNotify(m_hTaskbarWnd); hNotify != nullptr) {
    RECT rcNotify{};
    ::GetWindowRect(hNotify, &rcNotify);
    nNotifyLeft = rcNotify.left;
    m_nTrayNotifyLeft = nNotifyLeft;
  }

  m_rcDefault = ComputeDefaultRect(m_rcTaskbar, nNotifyLeft);
  const LONG nTaskbarHeight = m_rcTaskbar.bottom - m_rcTaskbar.top;
  ::MoveWindow(m_hWnd, m_rcDefault.left, kBandMargin, kBandWidth, nTaskbarHeight - 2 * kBandMargin,
               TRUE);
  ShowWindow(SW_SHOW);

  if (m_bRendererReady) {
    m_renderer.Resize(m_rcDefault.right - m_rcDefault.left, m_rcDefault.bottom - m_rcDefault.top);
  }
}

void CTaskbarWindow::CheckRelayout() noexcept {
  if (m_bManuallyPositioned || m_hTaskbarWnd == nullptr) {
    return;
  }
  HWND hNotify = FindTrayNotify(m_hTaskbarWnd);
  if (hNotify == nullptr) {
    return;
  }
  RECT rcNotify{};
  ::GetWindowRect(hNotify, &rcNotify);
  if (rcNotify.left != m_nTrayNotifyLeft) {
    m_nTrayNotifyLeft = rcNotify.left;
    UpdateLayout();
  }
}

void CTaskbarWindow::OnLButtonDown(UINT nFlags, POINT point) noexcept {
  // A band that never docked has no taskbar to be dragged along.
  if (!m_bLocked && m_hTaskbarWnd != nullptr) {
    m_bDragging = TRUE;
    m_nDragGrabX = point.x;
    ::SetCapture(m_hWnd);
  }
  CDialogEx::OnLButtonDown(nFlags, point);
}

void CTaskbarWindow::OnMouseMove(UINT nFlags, POINT point) noexcept {
  if (m_bDragging) {
    RECT rcBand{};
    ::GetWindowRect(m_hWnd, &rcBand);
    const LONG nBandWidth = rcBand.right - rcBand.left;
    const LONG nBandHeight = rcBand.bottom - rcBand.top;

    // Only whether the monitor can be asked matters; without an answer the
    // band follows the cursor unclamped.
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    const BOOL bClamp =
        ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);

    const LONG x = ComputeDragLeft(point.x, m_nDragGrabX, rcBand.left, nBandWidth, m_rcTaskbar.left,
                                   LimitLeft(m_hTaskbarWnd), bClamp);
    ::MoveWindow(m_hWnd, x, m_rcDefault.top, nBandWidth, nBandHeight, TRUE);
  }
  CDialogEx::OnMouseMove(nFlags, point);
}

void CTaskbarWindow::OnLButtonUp(UINT nFlags, POINT point) noexcept {
  if (m_bDragging) {
    m_bDragging = FALSE;
    ::ReleaseCapture();
    DropBand(*this);
  }
  CDialogEx::OnLButtonUp(nFlags, point);
}

// Losing the capture mid-drag (another window took it, a dialog came up)
// ends the drag where the band is, as a release of the button would.
// A taskbar that went away takes the drag with it: nothing is dropped, and
// nothing is saved against a taskbar rectangle that no longer exists.
void CTaskbarWindow::OnCaptureChanged(HWND hWndNew) noexcept {
  if (m_bDragging && hWndNew != m_hWnd) {
    m_bDragging = FALSE;
    if (::IsWindow(m_hTaskbarWnd)) {
      DropBand(*this);
    }
  }
  CDialogEx::OnCaptureChanged(hWndNew);
}
