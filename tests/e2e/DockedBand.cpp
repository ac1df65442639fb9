#include "e2e/DockedBand.h"

#include "devshell/DevTaskbarControl.h"
#include "devshell/DevInput.h"
#include "common/RegistryKey.h"

namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Nimbrel";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"Nimbrel.exe";
constexpr wchar_t kStandInOverride[] = L"dcomp=n,b";
constexpr int kDragSteps = 8;

[[nodiscard]] bool InScratchPrefix() noexcept {
  wchar_t szValue[8] = {};
  return GetEnvironmentVariableW(L"NIMBREL_SCRATCH_PREFIX", szValue, 8) == 1 && szValue[0] == L'1';
}

[[nodiscard]] RECT WindowRectOf(HWND hWnd) noexcept {
  RECT rc{};
  GetWindowRect(hWnd, &rc);
  return rc;
}

}  // namespace

std::wstring DevRunProgramPath() { return WindowsPath(NIMBREL_DEVRUN_EXE_PATH); }

int UpperTrackRow(const ScreenImage& band) noexcept { return band.m_nHeight / 2 - 3; }

int LowerTrackRow(const ScreenImage& band) noexcept { return band.m_nHeight - 3; }

int RunLength(const ScreenImage& band, int y, std::uint32_t nColor) noexcept {
  int n = 0;
  for (int x = kBarLeft; x < band.m_nWidth && band.At(x, y) == (0xFF000000 | nColor); ++x) {
    ++n;
  }
  return n;
}

bool ShowsTracks(const ScreenImage& band) noexcept {
  if (band.m_nWidth <= kBarLeft + 2 || band.m_nHeight < 8) {
    return false;
  }
  // The top-left corner is never drawn on: the taskbar shows there.
  const std::uint32_t nBackground = band.At(0, 0);
  for (const int y : {UpperTrackRow(band), UpperTrackRow(band) + 1, LowerTrackRow(band),
                      LowerTrackRow(band) + 1}) {
    for (int x = kBarLeft; x < band.m_nWidth - 2; ++x) {
      if (band.At(x, y) == nBackground) {
        return false;
      }
    }
  }
  return true;
}

bool ShowsBareTaskbar(const RECT& rc) {
  ScreenImage image;
  if (!CaptureScreen(rc, image)) {
    return false;
  }
  for (const std::uint32_t nPixel : image.m_pixels) {
    if (nPixel != image.m_pixels.front()) {
      return false;
    }
  }
  return true;
}

bool ShowsNoBand(const RECT& rc) {
  constexpr std::uint32_t kTrackGrey = 0xFF404040;
  ScreenImage image;
  if (!CaptureScreen(rc, image)) {
    return false;
  }
  for (const std::uint32_t nPixel : image.m_pixels) {
    if (nPixel == kTrackGrey) {
      return false;
    }
  }
  return true;
}

void CDockedBandTest::SetUp() {
  if (!InScratchPrefix()) {
    GTEST_SKIP() << "runs only in a scratch Wine prefix (scripts/in-scratch-prefix.sh)";
  }
  // A fresh start: no saved place, no lock, no autostart entry.
  RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
  RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
  CRegistryKey run;
  if (run.Open(HKEY_CURRENT_USER, kRunKey, KEY_SET_VALUE)) {
    run.DeleteValue(kRunValue);
  }

  ASSERT_TRUE(m_taskbar.Start(WindowsPath(NIMBREL_DEVTASKBAR_PATH)));
  m_hTaskbar = WaitForDevTaskbar(kE2eTimeoutMs);
  ASSERT_NE(m_hTaskbar, nullptr) << "the development taskbar did not come up";
  ASSERT_TRUE(StartBand());
}

void CDockedBandTest::TearDown() {
  if (m_band.IsRunning()) {
    (void)CloseBand();
  }
  if (m_hTaskbar != nullptr) {
    (void)SendDevTaskbarCommand(m_hTaskbar, DevTaskbarCommand::Quit, 0);
    (void)m_taskbar.WaitForExit(kE2eTimeoutMs);
  }
  // Out of the way of whatever runs next on this screen.
  (void)SendMouseAt(POINT{960, 300});
}

bool CDockedBandTest::StartBand() {
  if (!m_band.Start(DevRunProgramPath(), kStandInOverride)) {
    ADD_FAILURE() << "Nimbrel.exe did not start";
    return false;
  }
  m_hBand = WaitForDockedBand(m_hTaskbar, 6 * kE2eTimeoutMs);
  if (m_hBand == nullptr) {
    const ProgramBox box = m_band.WaitForBox(0);
    ADD_FAILURE() << "the band did not dock"
                  << (box.m_hWnd != nullptr ? " (its box says something)" : "");
    return false;
  }
  if (!WaitForBandFrame(m_hBand, 6 * kE2eTimeoutMs) ||
      !WaitUntil([&] { return ShowsTracks(CaptureBand()); })) {
    ADD_FAILURE() << "the band docked but its frame never reached the screen";
    return false;
  }
  return true;
}

DWORD CDockedBandTest::CloseBand() {
  PostMessageW(m_hBand, WM_CLOSE, 0, 0);
  return m_band.WaitForExit(kE2eTimeoutMs);
}

bool CDockedBandTest::SendTaskbarCommand(DevTaskbarCommand command, int nValue) const noexcept {
  return SendDevTaskbarCommand(m_hTaskbar, command, nValue);
}

bool CDockedBandTest::FollowRestartedTaskbar() {
  HWND hNew = WaitForDevTaskbar(kE2eTimeoutMs, m_hTaskbar);
  if (hNew == nullptr) {
    return false;
  }
  m_hTaskbar = hNew;
  m_hBand = WaitForDockedBand(m_hTaskbar, kE2eTimeoutMs);
  return m_hBand != nullptr && WaitForBandFrame(m_hBand, kE2eTimeoutMs) &&
         WaitUntil([&] { return ShowsTracks(CaptureBand()); });
}

RECT CDockedBandTest::BandRect() const noexcept { return WindowRectOf(m_hBand); }

RECT CDockedBandTest::TaskbarRect() const noexcept { return WindowRectOf(m_hTaskbar); }

LONG CDockedBandTest::NotifyLeft() const noexcept {
  return WindowRectOf(FindWindowExW(m_hTaskbar, nullptr, kDevNotifyClass, nullptr)).left;
}

RECT CDockedBandTest::DefaultBandRect() const noexcept {
  const RECT rcTaskbar = TaskbarRect();
  const LONG nNotifyLeft = NotifyLeft();
  return {nNotifyLeft - 100, rcTaskbar.top + 5, nNotifyLeft - 5, rcTaskbar.bottom - 5};
}

ScreenImage CDockedBandTest::CaptureBand() const {
  ScreenImage image;
  EXPECT_TRUE(CaptureScreen(BandRect(), image));
  return image;
}

void CDockedBandTest::DragBandBy(LONG nDeltaX) {
  const RECT rc = BandRect();
  const POINT ptGrab{rc.left + 10, rc.top + 10};
  ASSERT_TRUE(SendMouseAt(ptGrab));
  ASSERT_TRUE(SendMouseAt(ptGrab, MOUSEEVENTF_LEFTDOWN));
  for (int i = 1; i <= kDragSteps; ++i) {
    Sleep(30);
    ASSERT_TRUE(SendMouseAt(POINT{ptGrab.x + nDeltaX * i / kDragSteps, ptGrab.y}));
  }
  // The band follows the last move before it sees the release.
  WaitUntil([&] { return BandRect().left != rc.left || nDeltaX == 0; }, 2000);
  Sleep(100);
  ASSERT_TRUE(SendMouseAt(POINT{ptGrab.x + nDeltaX, ptGrab.y}, MOUSEEVENTF_LEFTUP));
}

bool CDockedBandTest::ReadSetting(const wchar_t* pszName, DWORD& dwValue) const {
  CRegistryKey key;
  return key.Open(HKEY_CURRENT_USER, kSettingsKey, KEY_READ) && key.QueryDword(pszName, dwValue);
}

bool CDockedBandTest::ReadRunValue(std::wstring& value) const {
  CRegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, kRunKey, KEY_READ)) {
    return false;
  }
  wchar_t szValue[1024] = {};
  DWORD cbValue = sizeof(szValue) - sizeof(wchar_t);
  DWORD dwType = 0;
  if (key.QueryBytes(kRunValue, szValue, cbValue, &dwType) != ERROR_SUCCESS || dwType != REG_SZ) {
    return false;
  }
  value = szValue;
  return true;
}

bool CDockedBandTest::WaitUntil(const std::function<bool()>& pred, DWORD nTimeoutMs) {
  const ULONGLONG nEnd = GetTickCount64() + nTimeoutMs;
  while (!pred()) {
    if (GetTickCount64() >= nEnd) {
      return false;
    }
    Sleep(10);
  }
  return true;
}
