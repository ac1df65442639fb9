// The band window: docking into the taskbar, the tick, closing, and coming
// back after the taskbar was re-created.

#include "band/TaskbarWindow.h"

#include <limits>
#include <new>

#include "framework/WinApp.h"

namespace {
constexpr wchar_t kTaskbarWatchClass[] = L"NimbrelTaskbarWatch";
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
  ON_WM_LBUTTONDOWN()
  ON_WM_MOUSEMOVE()
  ON_WM_LBUTTONUP()
  ON_WM_RBUTTONUP()
  ON_WM_CAPTURECHANGED()
  ON_WM_NCHITTEST()
  ON_WM_DESTROY()
  ON_REGISTERED_MESSAGE(g_uTaskbarCreatedMsg, OnTaskbarCreated)
END_MESSAGE_MAP()
// clang-format on

CTaskbarWindow::CTaskbarWindow() noexcept
    : CDialogEx(IDD_BAND), m_pszLowerText(NewLineBuffer()), m_pszUpperText(NewLineBuffer()) {}

CTaskbarWindow::~CTaskbarWindow() {
  if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
    KillTimer(m_hWnd, ID_BAND_TIMER);
  }
  if (m_bRendererReady) {
    m_renderer.ReleaseResources();
  }
  CloseTrafficSection();
  DestroyTaskbarWatch();
}

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
  CreateTaskbarWatch();
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
  KillTimer(m_hWnd, ID_BAND_TIMER);
  if (m_bRendererReady) {
    m_renderer.ReleaseResources();
  }
  CloseTrafficSection();
  DestroyTaskbarWatch();
  m_nExitCode = 0;
  m_bQuitOnDestroy = TRUE;
  DestroyWindow();
}

void CTaskbarWindow::OnDestroy() noexcept {
  CDialogEx::OnDestroy();
  // A drag does not outlive its window, whether or not the capture's loss
  // was announced.
  m_bDragging = FALSE;
  if (m_bQuitOnDestroy) {
    PostQuitMessage(m_nExitCode);
    return;
  }
  // Gone with the taskbar (or being rebuilt): the surface belongs to a dead
  // window. The watch window brings the band back when a new taskbar comes.
  ReleaseBandResources();
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
  m_hTaskbarWnd = nullptr;
  // The new notification area may not exist yet when the band docks again,
  // and may then appear exactly where the old one was: forget the old edge so
  // that the tick notices it.
  m_nTrayNotifyLeft = kNoTrayNotifyLeft;
  if (!Create(IDD_BAND, GetDesktopWindow())) {
    PostQuitMessage(1);
    return 0;
  }
  ShowWindow(SW_SHOW);
  return 0;
}

void CTaskbarWindow::ReleaseBandResources() noexcept {
  if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
    KillTimer(m_hWnd, ID_BAND_TIMER);
  }
  if (m_bRendererReady) {
    m_renderer.ReleaseResources();
    m_bRendererReady = FALSE;
  }
  CloseTrafficSection();
}

void CTaskbarWindow::CloseTrafficSection() noexcept { ::CloseTrafficSection(m_hMapping, m_pView); }

BOOL CTaskbarWindow::OnEraseBkgnd(HDC) noexcept { return TRUE; }

void CTaskbarWindow::OnSettingChange(UINT uFlags, LPCWSTR lpszSection) noexcept {
  CDialogEx::OnSettingChange(uFlags, lpszSection);
  if (!m_bManuallyPositioned) {
    UpdateLayout();
  }
}

LRESULT CTaskbarWindow::OnNcHitTest(POINT point) noexcept {
  const LRESULT nHit = CDialogEx::OnNcHitTest(point);
  return nHit == HTTRANSPARENT ? HTCLIENT : nHit;
}

void CTaskbarWindow::CreateTaskbarWatch() noexcept {
  if (m_hWatchWnd != nullptr && IsWindow(m_hWatchWnd)) {
    return;
  }
  HINSTANCE hInstance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &CTaskbarWindow::TaskbarWatchProc;
  wc.hInstance = hInstance;
  wc.lpszClassName = kTaskbarWatchClass;
  RegisterClassExW(&wc);  // fails harmlessly when already registered
  // Top-level and never shown: broadcasts reach it, message-only windows
  // would not be reached.
  m_hWatchWnd = CreateWindowExW(WS_EX_TOOLWINDOW, kTaskbarWatchClass, nullptr, WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, hInstance, this);
}

void CTaskbarWindow::DestroyTaskbarWatch() noexcept {
  HWND hWatchWnd = m_hWatchWnd;
  m_hWatchWnd = nullptr;
  if (hWatchWnd != nullptr && IsWindow(hWatchWnd)) {
    ::DestroyWindow(hWatchWnd);
  }
}

LRESULT CALLBACK CTaskbarWindow::TaskbarWatchProc(HWND hWnd, UINT message, WPARAM wParam,
                                                  LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    const auto* pCreate = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
  } else if (g_uTaskbarCreatedMsg != 0 && message == g_uTaskbarCreatedMsg) {
    auto* pBand = reinterpret_cast<CTaskbarWindow*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pBand != nullptr && pBand->m_hWatchWnd == hWnd) {
      return pBand->OnTaskbarCreated(wParam, lParam);
    }
    return 0;
  }
  return ::DefWindowProcW(hWnd, message, wParam, lParam);
}
