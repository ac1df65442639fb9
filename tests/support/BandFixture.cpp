#include "support/BandFixture.h"

void CBandTest::TearDown() {
  m_sibling.Reset();
  if (m_band->m_hWnd != nullptr && IsWindow(m_band->m_hWnd)) {
    m_band->DestroyWindow();
  }
  m_band.reset();
  m_taskbar.reset();
  int nCode = 0;
  while (TakeQuitMessage(nCode)) {
  }
}

void CBandTest::MakeTaskbar(RECT rcTaskbar, LONG nNotifyLeft, bool bWithNotifyArea) {
  m_rcTaskbar = rcTaskbar;
  m_taskbar = std::make_unique<CTestTaskbar>(rcTaskbar, nNotifyLeft, bWithNotifyArea);
  ASSERT_NE(m_taskbar->Handle(), nullptr);
}

bool CBandTest::CreateBand() {
  EXPECT_TRUE(m_hkcu.IsActive());
  Peer().m_renderer.UsePlatform(&m_doubles.Platform());
  return m_band->Create(IDD_BAND, GetDesktopWindow()) != FALSE;
}

void CBandTest::Dock(RECT rcTaskbar, LONG nNotifyLeft, bool bWithNotifyArea) {
  MakeTaskbar(rcTaskbar, nNotifyLeft, bWithNotifyArea);
  ASSERT_TRUE(CreateBand());
  ASSERT_TRUE(Peer().m_bRendererReady);
  ASSERT_EQ(Peer().m_hTaskbarWnd, m_taskbar->Handle());
  ASSERT_TRUE(m_app.m_boxes.empty());
}

void CBandTest::Redock() {
  if (m_band->m_hWnd != nullptr && IsWindow(m_band->m_hWnd)) {
    m_band->DestroyWindow();
  }
  m_band = std::make_unique<CTestBand>();
  ASSERT_TRUE(CreateBand());
}

void CBandTest::AnnounceNewTaskbar() noexcept {
  SendMessageW(Peer().m_wndWatch.m_hWnd, g_uTaskbarCreatedMsg, 0, 0);
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

void CBandTest::Tick(UINT_PTR nId) noexcept { SendMessageW(Band(), WM_TIMER, nId, 0); }

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

HWND CBandTest::RaiseSiblingAboveBand() noexcept {
  if (!m_sibling) {
    m_sibling.Reset(CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                    m_taskbar->Handle(), nullptr, nullptr, nullptr));
  }
  SetWindowPos(m_sibling.Get(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  return m_sibling.Get();
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
  CUniqueKey key;
  return RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

void CBandTest::ExpectSavedOnce(DWORD dwManual, LONG nRelativeX) const {
  EXPECT_EQ(ReadSetting(L"ManuallyPositioned"), dwManual);
  EXPECT_EQ(ReadSetting(L"PosX"), static_cast<DWORD>(nRelativeX));
  EXPECT_EQ(
      DebugLines(L"SavePosition:"),
      std::vector<std::wstring>{L"SavePosition: ManuallyPositioned=" + std::to_wstring(dwManual) +
                                L", relativeX=" + std::to_wstring(nRelativeX) + L"\n"});
}

void CBandTest::ExpectErrorBoxAndExitOne(const wchar_t* pszText) const {
  ASSERT_EQ(m_app.m_boxes.size(), 1u);
  EXPECT_EQ(m_app.m_boxes[0].m_text, pszText);
  EXPECT_EQ(m_app.m_boxes[0].m_nType, 0x10u);
  int nCode = -1;
  ASSERT_TRUE(TakeQuitMessage(nCode));
  EXPECT_EQ(nCode, 1);
}
