#include "devshell/DevTaskbar.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "devshell/FrameSection.h"

namespace {

constexpr COLORREF kBarColor = RGB(0x20, 0x20, 0x20);  // Windows 11's dark taskbar
constexpr COLORREF kButtonColor = RGB(0x33, 0x33, 0x33);
constexpr COLORREF kTextColor = RGB(0xF0, 0xF0, 0xF0);
constexpr COLORREF kIconColors[] = {RGB(0x4C, 0xC2, 0xFF), RGB(0xFF, 0xB9, 0x00),
                                    RGB(0x6C, 0xCB, 0x5F), RGB(0xE8, 0x11, 0x23),
                                    RGB(0xB1, 0x46, 0xC2), RGB(0x00, 0x78, 0xD4)};
constexpr wchar_t kClockText[] = L"12:00";
constexpr UINT_PTR kFollowTimer = 1;
constexpr UINT kFollowPeriodMs = 30;
constexpr UINT kBroadcastTimeoutMs = 1000;  // for each window
constexpr wchar_t kFontFace[] = L"Segoe UI";

void FillSolid(HDC hDC, const RECT& rc, COLORREF cr) noexcept {
  HBRUSH hBrush = CreateSolidBrush(cr);
  FillRect(hDC, &rc, hBrush);
  DeleteObject(hBrush);
}

// A rounded square with a coloured square inside: an app's icon.
void DrawAppButton(HDC hDC, const RECT& rc, COLORREF crIcon) noexcept {
  HBRUSH hBrush = CreateSolidBrush(kButtonColor);
  HGDIOBJ hOldBrush = SelectObject(hDC, hBrush);
  HGDIOBJ hOldPen = SelectObject(hDC, GetStockObject(NULL_PEN));
  RoundRect(hDC, rc.left, rc.top, rc.right + 1, rc.bottom + 1, 8, 8);
  SelectObject(hDC, hOldPen);
  SelectObject(hDC, hOldBrush);
  DeleteObject(hBrush);
  const LONG nInset = (rc.right - rc.left) / 4;
  FillSolid(hDC, {rc.left + nInset, rc.top + nInset, rc.right - nInset, rc.bottom - nInset},
            crIcon);
}

// The notification area: two tray icons and a clock.
void DrawNotifyArea(HDC hDC, const RECT& rc) noexcept {
  FillSolid(hDC, rc, kBarColor);
  const LONG nMiddle = (rc.top + rc.bottom) / 2;
  for (int i = 0; i < 2; ++i) {
    const LONG nLeft = rc.left + 12 + i * 24;
    FillSolid(hDC, {nLeft, nMiddle - 7, nLeft + 14, nMiddle + 7}, RGB(0xC8, 0xC8, 0xC8));
  }
  HFONT hFont =
      CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, kFontFace);
  HGDIOBJ hOldFont = SelectObject(hDC, hFont);
  SetBkMode(hDC, TRANSPARENT);
  SetTextColor(hDC, kTextColor);
  RECT rcClock{rc.left + 60, rc.top, rc.right - 8, rc.bottom};
  DrawTextW(hDC, kClockText, -1, &rcClock, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
  SelectObject(hDC, hOldFont);
  DeleteObject(hFont);
}

struct ChildList {
  HWND m_hParent;
  HWND m_hSkip;
  std::vector<HWND> m_children;  // top of the z-order first
};

BOOL CALLBACK CollectChild(HWND hWnd, LPARAM lParam) {
  auto* pList = reinterpret_cast<ChildList*>(lParam);
  if (hWnd != pList->m_hSkip && GetAncestor(hWnd, GA_PARENT) == pList->m_hParent &&
      IsWindowVisible(hWnd)) {
    pList->m_children.push_back(hWnd);
  }
  return TRUE;
}

// The taskbar's visible children other than its own notification area, from
// the bottom of the z-order up, with their places in the taskbar.
std::vector<std::pair<HWND, RECT>> ForeignChildren(HWND hTaskbar, HWND hNotify) {
  ChildList list{hTaskbar, hNotify, {}};
  EnumChildWindows(hTaskbar, &CollectChild, reinterpret_cast<LPARAM>(&list));
  std::vector<std::pair<HWND, RECT>> children;
  for (auto it = list.m_children.rbegin(); it != list.m_children.rend(); ++it) {
    children.emplace_back(*it, RectInParent(*it));
  }
  return children;
}

// The frames the stand-in keeps for those children, laid over the bar.
void ComposeChildFrames(const std::vector<std::pair<HWND, RECT>>& children,
                        const OpaqueImage& image) {
  FrameImage frame;
  for (const auto& [hChild, rc] : children) {
    if (ReadWindowFrame(hChild, frame)) {
      ComposeFrame(image, frame, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    }
  }
}

bool SameRect(const RECT& a, const RECT& b) noexcept {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

ATOM RegisterClassOnce(const wchar_t* pszClass, WNDPROC pfnProc) noexcept {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = pfnProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = pszClass;
  return RegisterClassExW(&wc);
}

}  // namespace

CDevTaskbar::CDevTaskbar() noexcept
    : m_nNotifyLeft(DefaultNotifyLeft(GetSystemMetrics(SM_CXSCREEN))),
      m_uCommandMessage(RegisterWindowMessageW(kDevTaskbarCommandMessage)) {}

bool CDevTaskbar::Create() noexcept {
  Destroy();
  static const bool s_bRegistered = RegisterClassOnce(kDevTaskbarClass, &TaskbarProc) != 0 &&
                                    RegisterClassOnce(kDevNotifyClass, &NotifyProc) != 0;
  if (!s_bRegistered) {
    return false;
  }
  m_layout = LayOutDevTaskbar(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                              m_nHeight, m_nNotifyLeft, m_nLeft);
  const RECT& rc = m_layout.m_rcTaskbar;
  // No WS_CLIPCHILDREN: the bar paints under its children, where it lays
  // their frames over itself.
  m_hWnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kDevTaskbarClass, nullptr,
                           WS_POPUP | WS_VISIBLE, rc.left, rc.top, rc.right - rc.left,
                           rc.bottom - rc.top, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (m_hWnd == nullptr) {
    return false;
  }
  SetPropW(m_hWnd, kDevTaskbarProperty, reinterpret_cast<HANDLE>(1));
  SetTimer(m_hWnd, kFollowTimer, kFollowPeriodMs, nullptr);
  return CreateNotifyArea();
}

bool CDevTaskbar::CreateNotifyArea() noexcept {
  const RECT& rn = m_layout.m_rcNotify;
  m_hNotifyWnd = CreateWindowExW(0, kDevNotifyClass, nullptr, WS_CHILD | WS_VISIBLE, rn.left,
                                 rn.top, rn.right - rn.left, rn.bottom - rn.top, m_hWnd, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
  return m_hNotifyWnd != nullptr;
}

void CDevTaskbar::Destroy() noexcept {
  HWND hWnd = m_hWnd;
  m_hWnd = nullptr;
  m_hNotifyWnd = nullptr;
  m_seen.clear();
  if (hWnd != nullptr && IsWindow(hWnd)) {
    RemovePropW(hWnd, kDevTaskbarProperty);
    DestroyWindow(hWnd);
  }
}

void CDevTaskbar::MoveNotifyArea(int nScreenX) noexcept {
  m_nNotifyLeft = nScreenX;
  ApplyLayout();
}

void CDevTaskbar::SetHeight(int nHeight) noexcept {
  m_nHeight = nHeight;
  ApplyLayout();
  // Explorer announces a new work area when the taskbar changes its size.
  // Sent, not notified: the system refuses WM_SETTINGCHANGE to the calls
  // that do not wait, as it may carry a string.
  DWORD_PTR nResult = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0, SMTO_ABORTIFHUNG,
                      kBroadcastTimeoutMs, &nResult);
}

// Nothing is broadcast: whoever wants the windows told of it sends the
// settings change itself.
void CDevTaskbar::MoveTaskbarLeft(int nScreenX) noexcept {
  m_nLeft = nScreenX;
  // Moved along with the bar, the notification area would pass over other
  // places on the screen on its way back to its own. It is made again
  // instead: whoever watches its edge sees it gone for a moment, never
  // anywhere it does not end up.
  if (m_hNotifyWnd != nullptr) {
    DestroyWindow(m_hNotifyWnd);
    m_hNotifyWnd = nullptr;
  }
  ApplyLayout();
  if (m_hWnd != nullptr) {
    (void)CreateNotifyArea();
  }
}

void CDevTaskbar::ApplyLayout() noexcept {
  m_layout = LayOutDevTaskbar(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                              m_nHeight, m_nNotifyLeft, m_nLeft);
  if (m_hWnd == nullptr) {
    return;
  }
  const RECT& rc = m_layout.m_rcTaskbar;
  SetWindowPos(m_hWnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  if (m_hNotifyWnd != nullptr) {
    const RECT& rn = m_layout.m_rcNotify;
    MoveWindow(m_hNotifyWnd, rn.left, rn.top, rn.right - rn.left, rn.bottom - rn.top, TRUE);
  }
  InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CDevTaskbar::FollowChildren() noexcept {
  std::vector<std::pair<HWND, RECT>> now = ForeignChildren(m_hWnd, m_hNotifyWnd);
  auto repaint = [&](const RECT& rc) {
    RedrawWindow(m_hWnd, &rc, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN);
  };
  for (const auto& [hChild, rc] : now) {
    const auto it = std::find_if(m_seen.begin(), m_seen.end(),
                                 [hWnd = hChild](const auto& seen) { return seen.first == hWnd; });
    if (it == m_seen.end()) {
      repaint(rc);
    } else if (!SameRect(it->second, rc)) {
      repaint(it->second);
      repaint(rc);
    }
  }
  for (const auto& [hChild, rc] : m_seen) {
    if (std::none_of(now.begin(), now.end(),
                     [hWnd = hChild](const auto& c) { return c.first == hWnd; })) {
      repaint(rc);
    }
  }
  m_seen = std::move(now);
}

LRESULT CDevTaskbar::OnCommand(WPARAM wParam, LPARAM lParam) noexcept {
  const int nValue = static_cast<int>(lParam);
  const auto command = static_cast<DevTaskbarCommand>(wParam);
  switch (command) {
    case DevTaskbarCommand::MoveNotifyArea:
    case DevTaskbarCommand::MoveTaskbarLeft:
      if (nValue < 0 || nValue > kDevMaxCoordinate) {
        return 0;
      }
      if (command == DevTaskbarCommand::MoveNotifyArea) {
        MoveNotifyArea(nValue);
      } else {
        MoveTaskbarLeft(nValue);
      }
      return kDevTaskbarDone;
    case DevTaskbarCommand::SetHeight:
      if (!IsValidTaskbarHeight(nValue)) {
        return 0;
      }
      SetHeight(nValue);
      return kDevTaskbarDone;
    case DevTaskbarCommand::Restart:
      if (nValue < 0 || nValue > kDevRestartMaxMs) {
        return 0;
      }
      PostThreadMessageW(GetCurrentThreadId(), kRestartThreadMessage, static_cast<WPARAM>(nValue),
                         0);
      return kDevTaskbarDone;
    case DevTaskbarCommand::Quit:
      PostThreadMessageW(GetCurrentThreadId(), kQuitThreadMessage, 0, 0);
      return kDevTaskbarDone;
    case DevTaskbarCommand::Ping:
      return kDevTaskbarDone;
    default:
      return 0;
  }
}

void CDevTaskbar::Paint() noexcept {
  PAINTSTRUCT ps{};
  HDC hDC = BeginPaint(m_hWnd, &ps);
  RECT rcClient{};
  GetClientRect(m_hWnd, &rcClient);
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
  bmi.bmiHeader.biWidth = rcClient.right;
  bmi.bmiHeader.biHeight = -rcClient.bottom;  // top-down
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* pBits = nullptr;
  HBITMAP hBitmap = CreateDIBSection(hDC, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
  HDC hMemDC = CreateCompatibleDC(hDC);
  if (hBitmap != nullptr && hMemDC != nullptr) {
    HGDIOBJ hOld = SelectObject(hMemDC, hBitmap);
    FillSolid(hMemDC, rcClient, kBarColor);
    for (std::size_t i = 0; i < m_layout.m_buttons.size(); ++i) {
      DrawAppButton(hMemDC, m_layout.m_buttons[i], kIconColors[i % std::size(kIconColors)]);
    }
    GdiFlush();
    ComposeChildFrames(ForeignChildren(m_hWnd, m_hNotifyWnd),
                       {rcClient.right, rcClient.bottom, static_cast<std::uint32_t*>(pBits)});
    // The notification area draws itself.
    RECT rcNotify{};
    GetWindowRect(m_hNotifyWnd, &rcNotify);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rcNotify), 2);
    ExcludeClipRect(hDC, rcNotify.left, rcNotify.top, rcNotify.right, rcNotify.bottom);
    BitBlt(hDC, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
           ps.rcPaint.bottom - ps.rcPaint.top, hMemDC, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    SelectObject(hMemDC, hOld);
  }
  if (hMemDC != nullptr) {
    DeleteDC(hMemDC);
  }
  if (hBitmap != nullptr) {
    DeleteObject(hBitmap);
  }
  EndPaint(m_hWnd, &ps);
}

LRESULT CALLBACK CDevTaskbar::TaskbarProc(HWND hWnd, UINT uMsg, WPARAM wParam,
                                          LPARAM lParam) noexcept {
  if (uMsg == WM_NCCREATE) {
    const auto* pCreate = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
  }
  auto* pThis = reinterpret_cast<CDevTaskbar*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
  if (pThis == nullptr || pThis->m_hWnd != hWnd) {
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
  }
  if (uMsg == pThis->m_uCommandMessage && pThis->m_uCommandMessage != 0) {
    return pThis->OnCommand(wParam, lParam);
  }
  switch (uMsg) {
    case WM_PAINT:
      pThis->Paint();
      return 0;
    case WM_ERASEBKGND:
      return TRUE;
    case WM_TIMER:
      if (wParam == kFollowTimer) {
        pThis->FollowChildren();
        return 0;
      }
      return DefWindowProcW(hWnd, uMsg, wParam, lParam);
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    default:
      return DefWindowProcW(hWnd, uMsg, wParam, lParam);
  }
}

LRESULT CALLBACK CDevTaskbar::NotifyProc(HWND hWnd, UINT uMsg, WPARAM wParam,
                                         LPARAM lParam) noexcept {
  switch (uMsg) {
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC hDC = BeginPaint(hWnd, &ps);
      RECT rc{};
      GetClientRect(hWnd, &rc);
      DrawNotifyArea(hDC, rc);
      EndPaint(hWnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return TRUE;
    default:
      return DefWindowProcW(hWnd, uMsg, wParam, lParam);
  }
}

void BroadcastTaskbarCreated() noexcept {
  static const UINT s_uTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  SendNotifyMessageW(HWND_BROADCAST, s_uTaskbarCreated, 0, 0);
}
