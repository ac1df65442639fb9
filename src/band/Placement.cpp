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

// The taskbar's rectangle and the default place in it, moving nothing. The
// notification area's left edge (screen x), when there is one.
std::optional<LONG> LayOutDefaultPlace(CTaskbarWindow& band) noexcept {
  ::GetWindowRect(band.m_hTaskbarWnd, &band.m_rcTaskbar);
  band.m_rcTaskbarLaidOut = band.m_rcTaskbar;

  std::optional<LONG> nFoundLeft;
  LONG nNotifyLeft = band.m_rcTaskbar.right - kMissingNotifyOffset;
  if (HWND hNotify = FindTrayNotify(band.m_hTaskbarWnd); hNotify != nullptr) {
    RECT rcNotify{};
    ::GetWindowRect(hNotify, &rcNotify);
    nNotifyLeft = rcNotify.left;
    band.m_nTrayNotifyLeft = nNotifyLeft;
    nFoundLeft = nNotifyLeft;
  }
  band.m_rcDefault = ComputeDefaultRect(band.m_rcTaskbar, nNotifyLeft);
  return nFoundLeft;
}

// A taskbar on a side of the screen has no place 95 pixels along it, and the
// frame needs that width for its text: the band stays hidden there, still
// polling, and comes back with the first layout on a horizontal taskbar.
[[nodiscard]] bool HideOnVerticalTaskbar(CTaskbarWindow& band) noexcept {
  if (!IsVerticalTaskbar(band.m_rcTaskbar)) {
    band.m_bHiddenOnVerticalTaskbar = FALSE;
    return false;
  }
  if (!band.m_bHiddenOnVerticalTaskbar) {
    band.m_bHiddenOnVerticalTaskbar = TRUE;
    OutputDebugStringW(
        L"UpdateLayout: taskbar on a side of the screen, band hidden until it is "
        L"horizontal again\n");
  }
  band.ShowWindow(SW_HIDE);
  return true;
}

// The band at x, y in the taskbar with the default place's size, shown, and
// its surface at that size.
void PlaceBand(CTaskbarWindow& band, LONG x, LONG y) noexcept {
  const LONG nWidth = band.m_rcDefault.right - band.m_rcDefault.left;
  const LONG nHeight = band.m_rcDefault.bottom - band.m_rcDefault.top;
  ::MoveWindow(band.m_hWnd, x, y, nWidth, nHeight, TRUE);
  band.ShowWindow(SW_SHOW);
  if (band.m_bRendererReady) {
    band.m_renderer.Resize(nWidth, nHeight);
  }
}

}  // namespace

void CTaskbarWindow::UpdateLayout() noexcept {
  if (m_hTaskbarWnd == nullptr) {
    return;
  }
  (void)LayOutDefaultPlace(*this);
  if (HideOnVerticalTaskbar(*this)) {
    return;
  }
  PlaceBand(*this, m_rcDefault.left, kBandMargin);
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
  const std::optional<LONG> nNotifyLeft = LayOutDefaultPlace(*this);
  // Read after the taskbar: as its child, the band moved along with it.
  const LONG nPosX = rcBand.left - m_rcTaskbar.left;
  if (HideOnVerticalTaskbar(*this)) {
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
    PlaceBand(*this, m_rcDefault.left, kBandMargin);
    return;
  }
  PlaceBand(*this, nPosX,
            ComputeCenteredTop(m_rcTaskbar.bottom - m_rcTaskbar.top,
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
