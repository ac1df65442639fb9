// The band's place in the taskbar: its default spot left of the notification
// area, following that area, dragging it along the taskbar by hand, and a
// place given by hand kept on a taskbar that changed.

#include <optional>

#include "band/PlacementRules.h"
#include "band/PositionRules.h"
#include "band/TaskbarWindow.h"
#include "feed/StringFormat.h"

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

}  // namespace

// Where the drag ended decides: far enough from the notification area the
// band stays and is placed by hand; closer, it snaps back, saving the dropped
// place first.
void CTaskbarWindow::DropBand() noexcept {
  RECT rcBand{};
  ::GetWindowRect(m_hWnd, &rcBand);
  if (IsManualDrop(LimitLeft(m_hTaskbarWnd), rcBand.right)) {
    m_bManuallyPositioned = TRUE;
    SavePosition();
    return;
  }
  m_bManuallyPositioned = FALSE;
  SavePosition();
  UpdateLayout();
}

// The taskbar's rectangle and the default place in it, moving nothing. The
// notification area's left edge (screen x), when there is one.
std::optional<LONG> CTaskbarWindow::LayOutDefaultPlace() noexcept {
  ::GetWindowRect(m_hTaskbarWnd, &m_rcTaskbar);
  m_rcTaskbarLaidOut = m_rcTaskbar;

  std::optional<LONG> nFoundLeft;
  LONG nNotifyLeft = m_rcTaskbar.right - kMissingNotifyOffset;
  if (HWND hNotify = FindTrayNotify(m_hTaskbarWnd); hNotify != nullptr) {
    RECT rcNotify{};
    ::GetWindowRect(hNotify, &rcNotify);
    nNotifyLeft = rcNotify.left;
    m_nTrayNotifyLeft = nNotifyLeft;
    nFoundLeft = nNotifyLeft;
  }
  m_rcDefault = ComputeDefaultRect(m_rcTaskbar, nNotifyLeft);
  return nFoundLeft;
}

// A taskbar on a side of the screen has no place 95 pixels along it, and the
// frame needs that width for its text: the band stays hidden there, still
// polling, and comes back with the first layout on a horizontal taskbar.
bool CTaskbarWindow::HideOnVerticalTaskbar() noexcept {
  if (!IsVerticalTaskbar(m_rcTaskbar)) {
    m_bHiddenOnVerticalTaskbar = FALSE;
    return false;
  }
  if (!m_bHiddenOnVerticalTaskbar) {
    m_bHiddenOnVerticalTaskbar = TRUE;
    OutputDebugStringW(
        L"UpdateLayout: taskbar on a side of the screen, band hidden until it is "
        L"horizontal again\n");
  }
  ShowWindow(SW_HIDE);
  return true;
}

// The band at x, y in the taskbar with the default place's size, shown, and
// its surface at that size.
void CTaskbarWindow::PlaceBand(LONG x, LONG y) noexcept {
  const LONG nWidth = m_rcDefault.right - m_rcDefault.left;
  const LONG nHeight = m_rcDefault.bottom - m_rcDefault.top;
  ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, TRUE);
  ShowWindow(SW_SHOW);
  if (m_bRendererReady) {
    m_renderer.Resize(nWidth, nHeight);
  }
}

void CTaskbarWindow::UpdateLayout() noexcept {
  if (m_hTaskbarWnd == nullptr) {
    return;
  }
  (void)LayOutDefaultPlace();
  if (HideOnVerticalTaskbar()) {
    return;
  }
  PlaceBand(m_rcDefault.left, kBandMargin);
}

// A band placed by hand keeps its x in the taskbar, and takes the height and
// top a start would give it there; where that place no longer fits, it goes
// to the default place as a start with that place saved would.
void CTaskbarWindow::FollowTaskbar() noexcept {
  if (!m_bManuallyPositioned) {
    UpdateLayout();
    return;
  }
  if (m_hTaskbarWnd == nullptr) {
    return;
  }
  RECT rcBand{};
  ::GetWindowRect(m_hWnd, &rcBand);
  const std::optional<LONG> nNotifyLeft = LayOutDefaultPlace();
  // Read after the taskbar: as its child, the band moved along with it.
  const LONG nPosX = rcBand.left - m_rcTaskbar.left;
  if (HideOnVerticalTaskbar()) {
    return;
  }
  std::optional<LONG> nNotifyRelative;
  if (nNotifyLeft) {
    nNotifyRelative = *nNotifyLeft - m_rcTaskbar.left;
  }
  if (!KeepsHandPlacement(nPosX, kBandWidth, m_rcTaskbar.right - m_rcTaskbar.left,
                          nNotifyRelative)) {
    wchar_t szLine[256];
    StringCbPrintfW(szLine, sizeof(szLine),
                    L"FollowTaskbar: relativeX=%d no longer fits the taskbar, back to the default "
                    L"place\n",
                    static_cast<int>(nPosX));
    OutputDebugStringW(szLine);
    m_bManuallyPositioned = FALSE;
    PlaceBand(m_rcDefault.left, kBandMargin);
    return;
  }
  PlaceBand(nPosX, ComputeCenteredTop(m_rcTaskbar.bottom - m_rcTaskbar.top,
                                      m_rcDefault.bottom - m_rcDefault.top));
}

void CTaskbarWindow::RefreshTaskbarRect() noexcept {
  RECT rcTaskbar{};
  if (m_hTaskbarWnd != nullptr && ::GetWindowRect(m_hTaskbarWnd, &rcTaskbar)) {
    m_rcTaskbar = rcTaskbar;
  }
}

void CTaskbarWindow::CheckRelayout() noexcept {
  if (m_hTaskbarWnd == nullptr) {
    return;
  }
  if (m_bManuallyPositioned) {
    RECT rcTaskbar{};
    if (::GetWindowRect(m_hTaskbarWnd, &rcTaskbar) &&
        !::EqualRect(&rcTaskbar, &m_rcTaskbarLaidOut)) {
      FollowTaskbar();
    }
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

    // The taskbar may have changed since the last layout; the band's x is
    // relative to it as it is now.
    RefreshTaskbarRect();
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
    DropBand();
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
      DropBand();
    }
  }
  CDialogEx::OnCaptureChanged(hWndNew);
}
