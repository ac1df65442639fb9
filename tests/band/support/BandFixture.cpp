#include "BandFixture.h"

#include <ostream>

namespace {
CDefaultProcessingSpy* g_pSpy = nullptr;
}

void CBandTest::TearDown() {
  if (m_band->m_hWnd != nullptr && IsWindow(m_band->m_hWnd)) {
    m_band->DestroyWindow();
  }
  m_band.reset();
  m_taskbar.reset();
}

void CBandTest::MakeTaskbar(RECT rcTaskbar, LONG nNotifyLeft, bool bWithNotifyArea) {
  m_rcTaskbar = rcTaskbar;
  m_taskbar = std::make_unique<CTestTaskbar>(rcTaskbar, nNotifyLeft, bWithNotifyArea);
  ASSERT_NE(m_taskbar->Handle(), nullptr);
}

void CBandTest::CreateBand() {
  ASSERT_TRUE(m_hkcu.IsActive());
  m_band->m_renderer.UsePlatform(&m_doubles.Platform());
  ASSERT_TRUE(m_band->Create(IDD_BAND, GetDesktopWindow()));
  ASSERT_TRUE(m_band->m_bRendererReady);
  ASSERT_EQ(m_band->m_hTaskbarWnd, m_taskbar->Handle());
  ASSERT_TRUE(m_app.m_boxes.empty());
}

void CBandTest::Dock(RECT rcTaskbar, LONG nNotifyLeft, bool bWithNotifyArea) {
  MakeTaskbar(rcTaskbar, nNotifyLeft, bWithNotifyArea);
  CreateBand();
}

void CBandTest::Redock() {
  if (m_band->m_hWnd != nullptr && IsWindow(m_band->m_hWnd)) {
    m_band->DestroyWindow();
  }
  m_band = std::make_unique<CTaskbarWindow>();
  CreateBand();
}

RECT CBandTest::BandScreenRect() const noexcept {
  RECT rc{};
  GetWindowRect(Band(), &rc);
  return rc;
}

RECT CBandTest::BandRect() const noexcept {
  RECT rc = BandScreenRect();
  OffsetRect(&rc, -m_rcTaskbar.left, -m_rcTaskbar.top);
  return rc;
}

void CBandTest::MoveNotifyArea(LONG nScreenLeft) noexcept {
  SetWindowPos(m_taskbar->NotifyArea(), nullptr, nScreenLeft - m_rcTaskbar.left, 0, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CBandTest::Tick() noexcept { SendMessageW(Band(), WM_TIMER, ID_BAND_TIMER, 0); }

LRESULT CBandTest::Mouse(UINT message, int x, int y) noexcept {
  const WPARAM wFlags = message == WM_LBUTTONDOWN || message == WM_MOUSEMOVE ? MK_LBUTTON : 0;
  return SendMessageW(Band(), message, wFlags,
                      MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)),
                                 static_cast<WORD>(static_cast<SHORT>(y))));
}

void CBandTest::PressAndDragTo(int x) noexcept {
  Mouse(WM_LBUTTONDOWN, 10, 20);
  Mouse(WM_MOUSEMOVE, x, 20);
}

void CBandTest::DragAndDropAt(int x) noexcept {
  PressAndDragTo(x);
  Mouse(WM_LBUTTONUP, x, 20);
}

void CBandTest::ExpectSavedOnce(DWORD dwManual, LONG nRelativeX) const {
  EXPECT_EQ(ReadSetting(L"ManuallyPositioned"), dwManual);
  EXPECT_EQ(ReadSetting(L"PosX"), static_cast<DWORD>(nRelativeX));
  EXPECT_EQ(
      DebugLines(L"SavePosition:"),
      std::vector<std::wstring>{L"SavePosition: ManuallyPositioned=" + std::to_wstring(dwManual) +
                                L", relativeX=" + std::to_wstring(nRelativeX) + L"\n"});
}

std::vector<std::wstring> CBandTest::DebugLines(const std::wstring& prefix) const {
  std::vector<std::wstring> lines;
  for (const auto& line : m_debug.Lines()) {
    if (line.compare(0, prefix.size(), prefix) == 0) {
      lines.push_back(line);
    }
  }
  return lines;
}

std::optional<DWORD> CBandTest::ReadSetting(LPCWSTR lpszValue) const noexcept {
  DWORD dwValue = 0;
  DWORD cbValue = sizeof(dwValue);
  if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, lpszValue, RRF_RT_REG_DWORD, nullptr, &dwValue,
                   &cbValue) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return dwValue;
}

bool CBandTest::SettingsKeyExists() const noexcept {
  HKEY hKey = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(hKey);
  return true;
}

CDefaultProcessingSpy::CDefaultProcessingSpy(HWND hDialog) noexcept
    : m_hDialog(hDialog),
      m_pfnOld(SetWindowLongPtrW(hDialog, DWLP_DLGPROC,
                                 reinterpret_cast<LONG_PTR>(&CDefaultProcessingSpy::SpyProc))) {
  g_pSpy = this;
}

CDefaultProcessingSpy::~CDefaultProcessingSpy() {
  if (IsWindow(m_hDialog)) {
    SetWindowLongPtrW(m_hDialog, DWLP_DLGPROC, m_pfnOld);
  }
  g_pSpy = nullptr;
}

int CDefaultProcessingSpy::Count(UINT message) const noexcept {
  int n = 0;
  for (UINT m : m_messages) {
    n += m == message ? 1 : 0;
  }
  return n;
}

INT_PTR CALLBACK CDefaultProcessingSpy::SpyProc(HWND hWnd, UINT message, WPARAM, LPARAM) noexcept {
  if (g_pSpy != nullptr && g_pSpy->m_hDialog == hWnd) {
    g_pSpy->m_messages.push_back(message);
  }
  return FALSE;
}

bool operator==(const RECT& a, const RECT& b) noexcept {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::ostream& operator<<(std::ostream& os, const RECT& rc) {
  return os << '(' << rc.left << ", " << rc.top << ", " << rc.right << ", " << rc.bottom << ')';
}
