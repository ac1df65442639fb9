// The band window: docking into the taskbar, the tick, closing, and coming
// back after the taskbar was re-created.

#include "band/TaskbarWindow.h"

#include <limits>
#include <new>

#include "framework/WinApp.h"

UINT g_uTaskbarCreatedMsg = RegisterWindowMessageW(kTaskbarCreatedMessage);

namespace {
// No notification area ever has its left edge here.
constexpr int kNoTrayNotifyLeft = std::numeric_limits<int>::min();

std::unique_ptr<wchar_t[]> NewLineBuffer() noexcept {
  return std::unique_ptr<wchar_t[]>(new (std::nothrow) wchar_t[kRateTextChars]);
}
}  // namespace

IMPLEMENT_DYNAMIC(CTaskbarWindow, CDialogEx)

// clang-format off
BEGIN_MESSAGE_MAP(CTaskbarWindow, CDialogEx)
  ON_WM_PAINT()
  ON_WM_CLOSE()
  ON_WM_ERASEBKGND()
  ON_WM_TIMER()
  ON_WM_SETTINGCHANGE()
  ON_WM_DISPLAYCHANGE()
  ON_WM_LBUTTONDOWN()
  ON_WM_MOUSEMOVE()
  ON_WM_LBUTTONUP()
  ON_WM_RBUTTONUP()
  ON_WM_CAPTURECHANGED()
  ON_WM_NCHITTEST()
  ON_MESSAGE(WM_WINDOWPOSCHANGING, OnWindowPosChanging)
  ON_WM_DESTROY()
  ON_REGISTERED_MESSAGE(g_uTaskbarCreatedMsg, OnTaskbarCreated)
END_MESSAGE_MAP()
// clang-format on

CTaskbarWindow::CTaskbarWindow() noexcept
    : CDialogEx(IDD_BAND), m_pszLowerText(NewLineBuffer()), m_pszUpperText(NewLineBuffer()) {}

CTaskbarWindow::~CTaskbarWindow() { ReleaseBandResources(); }

BOOL CTaskbarWindow::Create(UINT nIDTemplate, HWND hWndParent) noexcept {
  return CDialogEx::Create(nIDTemplate, hWndParent);
}

void CTaskbarWindow::PostNcDestroy() noexcept { CDialogEx::PostNcDestroy(); }

BOOL CTaskbarWindow::OnInitDialog() noexcept {
  CDialogEx::OnInitDialog();
  m_bQuitOnDestroy = FALSE;

  SetWindowText(kBandWindowTitle);
  ModifyStyleEx(0, WS_EX_TOOLWINDOW);

  m_hTaskbarWnd = FindWindowW(kTaskbarClass, nullptr);
  if (m_hTaskbarWnd == nullptr) {
    return FailInitialization(L"Taskbar not found!");
  }
  GetWindowRect(m_hTaskbarWnd, &m_rcTaskbar);

  ModifyStyleEx(0, WS_EX_NOREDIRECTIONBITMAP);
  if (SetParent(m_hWnd, m_hTaskbarWnd) == nullptr) {
    return FailInitialization(L"Failed to set parent to taskbar!");
  }

  if (!m_renderer.Initialize(m_hWnd)) {
    return FailInitialization(L"DirectComposition initialization failed!");
  }
  m_bRendererReady = TRUE;
  OutputDebugStringW(L"DirectComposition erfolgreich initialisiert!\n");
  UpdateLayout();
  LoadPosition();

  SetTimer(m_hWnd, ID_BAND_TIMER, kBandTimerPeriodMs, nullptr);
  m_wndWatch.Create();
  DrawBand();
  return TRUE;
}

BOOL CTaskbarWindow::FailInitialization(LPCWSTR lpszText) noexcept {
  AfxMessageBox(lpszText, MB_OK | MB_ICONERROR, 0);
  // A band that could not dock would sit invisible, take clicks and hold the
  // single-instance mutex: close it and end the process instead.
  m_nExitCode = 1;
  m_bQuitOnDestroy = TRUE;
  DestroyWindow();
  return FALSE;
}

void CTaskbarWindow::OnTimer(UINT_PTR nIDEvent) noexcept {
  if (nIDEvent == ID_BAND_TIMER) {
    PollTrafficRecord();
    RebuildLostSurface();
    CheckRelayout();
    if (IsWindowVisible(m_hWnd)) {
      SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    }
  }
  CDialogEx::OnTimer(nIDEvent);
}

void CTaskbarWindow::PollTrafficRecord() noexcept {
  if (PollTrafficSection(m_hMapping, m_pView, m_traffic)) {
    InvalidateRect(m_hWnd, nullptr, FALSE);
  }
}

void CTaskbarWindow::OnClose() noexcept {
  SavePosition();
  ReleaseBandResources();
  m_wndWatch.Destroy();
  m_nExitCode = 0;
  m_bQuitOnDestroy = TRUE;
  DestroyWindow();
}

void CTaskbarWindow::OnDestroy() noexcept {
  CDialogEx::OnDestroy();
  // Also when the window goes with the taskbar: the surface belongs to a dead
  // window. The watch window brings the band back when a new taskbar comes.
  ReleaseBandResources();
  if (m_bQuitOnDestroy) {
    PostQuitMessage(m_nExitCode);
  }
}

LRESULT CTaskbarWindow::OnTaskbarCreated(WPARAM, LPARAM) noexcept {
  ReleaseBandResources();
  if (m_hWnd != nullptr) {
    if (IsWindow(m_hWnd)) {
      DestroyWindow();
    } else {
      UnbindWindow();
    }
  }
  ResetToStartState();
  if (!Create(IDD_BAND, GetDesktopWindow())) {
    PostQuitMessage(1);
    return 0;
  }
  ShowWindow(SW_SHOW);
  return 0;
}

// Placement and lock come from what is stored, or start as in a new object:
// nothing of the old window's state may decide where the new one goes.
void CTaskbarWindow::ResetToStartState() noexcept {
  m_hTaskbarWnd = nullptr;
  m_rcTaskbar = RECT{};
  m_bRendererReady = FALSE;
  // The new notification area may not exist yet when the band docks again,
  // and may then appear exactly where the old one was: forget the old edge so
  // that the tick notices it.
  m_nTrayNotifyLeft = kNoTrayNotifyLeft;
  m_rcDefault = RECT{};
  m_bDragging = FALSE;
  m_nDragGrabX = 0;
  m_bManuallyPositioned = FALSE;
  m_bLocked = FALSE;
  m_rcTaskbarLaidOut = RECT{};
  m_bHiddenOnVerticalTaskbar = FALSE;
  m_rebuild.Reset();
}

void CTaskbarWindow::ReleaseBandResources() noexcept {
  // First, so that losing the capture while the window goes is no drop: no
  // save, no layout on a dying window.
  m_bDragging = FALSE;
  if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
    if (GetCapture() == m_hWnd) {
      ReleaseCapture();
    }
    KillTimer(m_hWnd, ID_BAND_TIMER);
  }
  // m_bRendererReady stays set, as after a close: the released surface is no
  // longer initialised, so DrawBand draws nothing on it.
  if (m_bRendererReady) {
    m_renderer.ReleaseResources();
  }
  CloseTrafficSection(m_hMapping, m_pView);
}

BOOL CTaskbarWindow::OnEraseBkgnd(HDC) noexcept { return TRUE; }

void CTaskbarWindow::OnSettingChange(UINT uFlags, LPCWSTR lpszSection) noexcept {
  CDialogEx::OnSettingChange(uFlags, lpszSection);
  FollowTaskbar();
}

void CTaskbarWindow::OnDisplayChange(UINT nBitsPerPixel, int cx, int cy) noexcept {
  CDialogEx::OnDisplayChange(nBitsPerPixel, cx, cy);
  FollowTaskbar();
}

void CTaskbarWindow::OnSessionResumed() noexcept {
  if (m_hWnd == nullptr || !IsWindow(m_hWnd)) {
    return;
  }
  FollowTaskbar();
  InvalidateRect(m_hWnd, nullptr, FALSE);
}

// Start-up, the rebuild in a new taskbar and the dialog's own creation all
// show the band after its layout has hidden it.
LRESULT CTaskbarWindow::OnWindowPosChanging(WPARAM, LPARAM lParam) noexcept {
  auto* pPos = reinterpret_cast<WINDOWPOS*>(lParam);
  if (m_bHiddenOnVerticalTaskbar && pPos != nullptr) {
    pPos->flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
  }
  return Default();
}

LRESULT CTaskbarWindow::OnNcHitTest(POINT point) noexcept {
  const LRESULT nHit = CDialogEx::OnNcHitTest(point);
  return nHit == HTTRANSPARENT ? HTCLIENT : nHit;
}
