// The band window under Wine, docked into a test-only taskbar, with the
// composition surface on doubles (Wine has no DirectComposition).

#include <gtest/gtest.h>

#include <algorithm>

#include "BandWindowTest.h"

namespace {

SharedTrafficRecord MakeRecord(std::uint64_t nSequence) {
  SharedTrafficRecord record{};
  record.Sequence = nSequence;
  record.RateDown = 1000 * static_cast<std::int64_t>(nSequence);
  record.RateUp = 500;
  record.MaxDown = 100000;
  record.MaxUp = 100000;
  record.ColorDown = 0x4E9AE6;
  record.ColorUp = 0x7EE444;
  record.ByteUnits = 1;
  record.DownOnLower = 1;
  return record;
}

bool HasUpdateRegion(HWND hWnd) { return GetUpdateRect(hWnd, nullptr, FALSE) != FALSE; }

LONG_PTR ExStyle(HWND hWnd) { return GetWindowLongPtrW(hWnd, GWL_EXSTYLE); }

// The band's only way out when it cannot run: one error box, then exit code 1.
void ExpectErrorBoxAndExitOne(const CRecordingApp& app, const wchar_t* pszText) {
  ASSERT_EQ(app.m_boxes.size(), 1u);
  EXPECT_EQ(app.m_boxes[0].m_text, pszText);
  EXPECT_EQ(app.m_boxes[0].m_nType, 0x10u);
  int nCode = -1;
  ASSERT_TRUE(TakeQuitMessage(nCode));
  EXPECT_EQ(nCode, 1);
}

class BandTest : public CBandWindowTest {
 protected:
  CDebugOutputCapture m_debug;
};

TEST_F(BandTest, TheTestTaskbarIsFoundAheadOfWinesOwn) {
  EXPECT_EQ(FindWindowW(L"Shell_TrayWnd", nullptr), m_taskbar.Handle());
}

TEST_F(BandTest, DocksAsChildOfTheTaskbarWithItsTitleStylesAndSurface) {
  ASSERT_TRUE(Dock());
  HWND hBand = m_band.m_hWnd;
  EXPECT_EQ(GetAncestor(hBand, GA_PARENT), m_taskbar.Handle());
  EXPECT_EQ(m_band.m_hTaskbarWnd, m_taskbar.Handle());
  wchar_t szTitle[32] = {};
  GetWindowTextW(hBand, szTitle, 32);
  EXPECT_STREQ(szTitle, L"Nimbrel");
  EXPECT_NE(ExStyle(hBand) & WS_EX_TOOLWINDOW, 0);
  EXPECT_NE(ExStyle(hBand) & WS_EX_NOREDIRECTIONBITMAP, 0);
  EXPECT_TRUE(m_band.m_bRendererReady);
  EXPECT_TRUE(m_band.m_renderer.m_bInitialized);
  EXPECT_EQ(m_doubles.Log().m_hTargetWnd, hBand);
  EXPECT_GE(m_doubles.Log().m_nPresents, 1) << "the first frame is drawn during start-up";
  EXPECT_TRUE(m_app.m_boxes.empty());
  EXPECT_NE(std::find(m_debug.Lines().begin(), m_debug.Lines().end(),
                      L"DirectComposition erfolgreich initialisiert!\n"),
            m_debug.Lines().end());
}

TEST_F(BandTest, TheTimerKeepsPollingOnItsOwn) {
  ASSERT_TRUE(Dock());
  CTestPublisher publisher;
  ASSERT_TRUE(publisher.IsOpen());
  publisher.Publish(MakeRecord(5));
  EXPECT_TRUE(PumpMessagesUntil([&] { return m_band.m_traffic.m_nLastSequence == 5; },
                                std::chrono::milliseconds(2000)));
  publisher.Publish(MakeRecord(6));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(PumpMessagesUntil([&] { return m_band.m_traffic.m_nLastSequence == 6; },
                                std::chrono::milliseconds(2000)));
  // 100 ms apart; the bound leaves room for a busy machine.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST_F(BandTest, ATickTakesANewRecordAndInvalidatesTheBandInTheSameTick) {
  ASSERT_TRUE(Dock());
  CTestPublisher publisher;
  publisher.Publish(MakeRecord(7));
  ValidateRect(m_band.m_hWnd, nullptr);
  Tick(m_band);
  EXPECT_EQ(m_band.m_traffic.m_nLastSequence, 7u);
  EXPECT_EQ(m_band.m_traffic.m_nRateLower, 7000);
  EXPECT_TRUE(HasUpdateRegion(m_band.m_hWnd));
  EXPECT_EQ(m_band.m_hMapping, nullptr);
  EXPECT_EQ(m_band.m_pView, nullptr);
}

TEST_F(BandTest, AnAbsentSectionCausesNoRepaint) {
  ASSERT_TRUE(Dock());
  ValidateRect(m_band.m_hWnd, nullptr);
  for (int i = 0; i < 5; ++i) {
    Tick(m_band);
    EXPECT_FALSE(HasUpdateRegion(m_band.m_hWnd));
  }
  EXPECT_FALSE(m_band.m_traffic.m_bHasData);
}

TEST_F(BandTest, AVisibleBandIsPutOnTopOfTheTaskbarsChildrenOnEveryTick) {
  ASSERT_TRUE(Dock());
  HWND hSibling = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                  m_taskbar.Handle(), nullptr, nullptr, nullptr);
  for (int i = 0; i < 3; ++i) {
    SetWindowPos(hSibling, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    ASSERT_NE(TopChild(m_taskbar.Handle()), m_band.m_hWnd);
    Tick(m_band);
    EXPECT_EQ(TopChild(m_taskbar.Handle()), m_band.m_hWnd) << "tick " << i;
  }
  DestroyWindow(hSibling);
}

TEST_F(BandTest, AHiddenBandStillPollsButGetsNoZOrderCall) {
  ASSERT_TRUE(Dock());
  HWND hSibling = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                  m_taskbar.Handle(), nullptr, nullptr, nullptr);
  ::ShowWindow(m_band.m_hWnd, SW_HIDE);
  SetWindowPos(hSibling, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  CTestPublisher publisher;
  publisher.Publish(MakeRecord(11));
  Tick(m_band);
  EXPECT_EQ(TopChild(m_taskbar.Handle()), hSibling);
  EXPECT_EQ(m_band.m_traffic.m_nLastSequence, 11u);
  DestroyWindow(hSibling);
}

TEST_F(BandTest, EveryTimerMessageEndsInTheDefaultProcessing) {
  ASSERT_TRUE(Dock());
  m_band.SpyOnDefault();
  Tick(m_band);
  Tick(m_band, 2);
  EXPECT_EQ(std::count(m_band.m_defaultMessages.begin(), m_band.m_defaultMessages.end(),
                       static_cast<UINT>(WM_TIMER)),
            2);
}

TEST_F(BandTest, ATimerOfAnotherIdNeitherPollsNorRaisesTheBand) {
  ASSERT_TRUE(Dock());
  HWND hSibling = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                  m_taskbar.Handle(), nullptr, nullptr, nullptr);
  SetWindowPos(hSibling, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  CTestPublisher publisher;
  publisher.Publish(MakeRecord(21));
  Tick(m_band, 2);
  EXPECT_EQ(m_band.m_traffic.m_nLastSequence, 0u);
  EXPECT_EQ(TopChild(m_taskbar.Handle()), hSibling);
  DestroyWindow(hSibling);
}

struct HitTestCase {
  LRESULT m_nDefault;
  LRESULT m_nExpected;
};

constexpr HitTestCase kHitTestCases[] = {
    {HTTRANSPARENT, HTCLIENT}, {HTCLIENT, HTCLIENT}, {HTNOWHERE, HTNOWHERE},
    {HTCAPTION, HTCAPTION},    {HTBORDER, HTBORDER}, {HTERROR, HTERROR},
};

TEST_F(BandTest, ATransparentDefaultHitTestBecomesClientAndOthersPassUnchanged) {
  ASSERT_TRUE(Dock());
  m_band.SpyOnDefault();
  m_band.m_bReplaceDefaultHitTest = true;
  for (const HitTestCase& c : kHitTestCases) {
    m_band.m_nDefaultHitTest = c.m_nDefault;
    EXPECT_EQ(SendMessageW(m_band.m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(10, 10)), c.m_nExpected)
        << "default " << c.m_nDefault;
  }
}

TEST_F(BandTest, ErasingTheBackgroundDoesNothingAndReportsDone) {
  ASSERT_TRUE(Dock());
  m_band.SpyOnDefault();
  HDC hDC = GetDC(m_band.m_hWnd);
  EXPECT_EQ(SendMessageW(m_band.m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0), TRUE);
  ReleaseDC(m_band.m_hWnd, hDC);
  EXPECT_TRUE(m_band.m_defaultMessages.empty());
}

TEST_F(BandTest, PaintingPresentsAFrameAndValidatesTheWholeWindow) {
  ASSERT_TRUE(Dock());
  m_band.SpyOnDefault();
  const int nPresentsBefore = m_doubles.Log().m_nPresents;
  InvalidateRect(m_band.m_hWnd, nullptr, FALSE);
  UpdateWindow(m_band.m_hWnd);
  EXPECT_EQ(m_doubles.Log().m_nPresents, nPresentsBefore + 1);
  EXPECT_FALSE(HasUpdateRegion(m_band.m_hWnd));
  EXPECT_EQ(std::count(m_band.m_defaultMessages.begin(), m_band.m_defaultMessages.end(),
                       static_cast<UINT>(WM_PAINT)),
            0);
}

TEST_F(BandTest, ASettingsChangeGetsTheDefaultProcessing) {
  ASSERT_TRUE(Dock());
  m_band.SpyOnDefault();
  SendMessageW(m_band.m_hWnd, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
  EXPECT_NE(std::find(m_band.m_defaultMessages.begin(), m_band.m_defaultMessages.end(),
                      static_cast<UINT>(WM_SETTINGCHANGE)),
            m_band.m_defaultMessages.end());
}

TEST_F(BandTest, CloseReleasesTheSurfaceDestroysTheWindowAndEndsTheLoopWithZero) {
  ASSERT_TRUE(Dock());
  HWND hBand = m_band.m_hWnd;
  SendMessageW(hBand, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(hBand));
  EXPECT_EQ(m_band.m_hWnd, nullptr);
  EXPECT_FALSE(m_band.m_renderer.m_bInitialized);
  EXPECT_EQ(m_band.m_renderer.m_pD3DDevice, nullptr);
  EXPECT_EQ(m_doubles.Log().LiveObjects(), 0);
  EXPECT_TRUE(m_band.m_bRendererReady) << "the flag is never cleared by a close";
  EXPECT_EQ(m_band.m_hWatchWnd, nullptr);
  int nCode = -1;
  ASSERT_TRUE(TakeQuitMessage(nCode));
  EXPECT_EQ(nCode, 0);
}

TEST_F(BandTest, CloseSavesThePositionBeforeAnythingIsReleased) {
  ASSERT_TRUE(Dock());
  m_debug.Clear();
  SendMessageW(m_band.m_hWnd, WM_CLOSE, 0, 0);
  ASSERT_FALSE(m_debug.Lines().empty());
  EXPECT_EQ(m_debug.Lines().front().rfind(L"SavePosition:", 0), 0u) << "a save line first";
}

// Runs only in the child that RunTestsWithoutTaskbar starts.
TEST(BandWithoutTaskbarTest, ShowsItsBoxAndEndsTheProcessWithOne) {
  if (!IsRunningWithoutTaskbar()) {
    GTEST_SKIP() << "runs in a window station without taskbar only";
  }
  ASSERT_EQ(FindWindowW(L"Shell_TrayWnd", nullptr), nullptr);
  CRecordingApp app;
  CRendererDoubles doubles;
  CTestBand band;
  band.m_renderer.UsePlatform(&doubles.Platform());
  EXPECT_FALSE(band.Create(IDD_BAND, GetDesktopWindow()));
  EXPECT_EQ(band.m_hWnd, nullptr);
  EXPECT_EQ(doubles.Log().m_nCalls, 0) << "no surface without a taskbar";
  ExpectErrorBoxAndExitOne(app, L"Taskbar not found!");
}

TEST_F(BandTest, WithoutAnyTaskbarTheBandShowsItsBoxAndEndsTheProcessWithOne) {
  EXPECT_EQ(RunTestsWithoutTaskbar(L"BandWithoutTaskbarTest.*"), 0);
}

TEST_F(BandTest, WhenDockingFailsTheBandShowsItsBoxAndEndsTheProcessWithOne) {
  m_band.m_hDestroyWhenDocking = m_taskbar.Handle();
  EXPECT_FALSE(Dock());
  EXPECT_EQ(m_band.m_hWnd, nullptr);
  EXPECT_FALSE(m_band.m_bRendererReady);
  ExpectErrorBoxAndExitOne(m_app, L"Failed to set parent to taskbar!");
}

TEST_F(BandTest, WhenTheSurfaceFailsTheBandShowsItsBoxAndEndsTheProcessWithOne) {
  m_doubles.Fail().m_hrCreateCompositionDevice = E_NOTIMPL;
  EXPECT_FALSE(Dock());
  EXPECT_EQ(m_band.m_hWnd, nullptr);
  EXPECT_FALSE(m_band.m_bRendererReady);
  EXPECT_EQ(m_doubles.Log().m_nPresents, 0);
  EXPECT_EQ(GetWindow(m_taskbar.Handle(), GW_CHILD), m_taskbar.NotifyArea())
      << "no band window is left inside the taskbar";
  ExpectErrorBoxAndExitOne(m_app, L"DirectComposition initialization failed!");
}

// Explorer restarting: the old taskbar goes (taking the docked band's window
// with it), a new one comes and announces itself with "TaskbarCreated".
TEST_F(BandTest, AfterATaskbarRestartTheBandDocksIntoTheNewTaskbarAndKeepsRunning) {
  ASSERT_TRUE(Dock());
  HWND hOldBand = m_band.m_hWnd;
  m_taskbar.Destroy();
  EXPECT_FALSE(IsWindow(hOldBand));
  EXPECT_EQ(m_doubles.Log().LiveObjects(), 0) << "the surface of the dead window is released";
  int nCode = -1;
  EXPECT_FALSE(TakeQuitMessage(nCode)) << "losing the taskbar does not end the process";

  CTestTaskbar newTaskbar;
  const int nPresentsBefore = m_doubles.Log().m_nPresents;
  DWORD_PTR nResult = 0;
  SendMessageTimeoutW(HWND_BROADCAST, g_uTaskbarCreatedMsg, 0, 0, SMTO_NORMAL, 2000, &nResult);

  ASSERT_NE(m_band.m_hWnd, nullptr);
  EXPECT_EQ(GetAncestor(m_band.m_hWnd, GA_PARENT), newTaskbar.Handle());
  EXPECT_TRUE(IsWindowVisible(m_band.m_hWnd));
  EXPECT_TRUE(m_band.m_bRendererReady);
  EXPECT_EQ(m_band.m_renderer.m_hWndHost, m_band.m_hWnd);
  EXPECT_EQ(m_doubles.Log().m_hTargetWnd, m_band.m_hWnd);
  EXPECT_GT(m_doubles.Log().m_nPresents, nPresentsBefore) << "drawing again";

  CTestPublisher publisher;
  publisher.Publish(MakeRecord(31));
  EXPECT_TRUE(PumpMessagesUntil([&] { return m_band.m_traffic.m_nLastSequence == 31; },
                                std::chrono::milliseconds(2000)))
      << "polling again";
  EXPECT_FALSE(TakeQuitMessage(nCode));
}

TEST_F(BandTest, TaskbarCreatedReachingTheBandItselfRebuildsItWithoutEndingTheLoop) {
  ASSERT_TRUE(Dock());
  HWND hOldBand = m_band.m_hWnd;
  SendMessageW(hOldBand, g_uTaskbarCreatedMsg, 0, 0);
  EXPECT_FALSE(IsWindow(hOldBand));
  ASSERT_NE(m_band.m_hWnd, nullptr);
  EXPECT_EQ(GetAncestor(m_band.m_hWnd, GA_PARENT), m_taskbar.Handle());
  EXPECT_EQ(m_band.m_renderer.m_hWndHost, m_band.m_hWnd);
  EXPECT_EQ(m_doubles.Log().m_nTargets, 2);
  int nCode = -1;
  EXPECT_FALSE(TakeQuitMessage(nCode));
}

TEST_F(BandTest, AFailedRebuildShowsItsBoxAndEndsTheProcessWithOne) {
  ASSERT_TRUE(Dock());
  m_doubles.Fail().m_hrCreateCompositionDevice = E_NOTIMPL;
  SendMessageW(m_band.m_hWatchWnd, g_uTaskbarCreatedMsg, 0, 0);
  EXPECT_EQ(m_band.m_hWnd, nullptr);
  ExpectErrorBoxAndExitOne(m_app, L"DirectComposition initialization failed!");
}

// The new notification area may come after "TaskbarCreated", at the very place
// the old one had; the band must still find its way there.
TEST_F(BandTest, AfterARestartANotificationAreaThatComesLaterAtItsOldPlaceIsFollowed) {
  ASSERT_TRUE(Dock());
  ASSERT_EQ(m_band.m_nTrayNotifyLeft, 1700);
  m_taskbar.Destroy();
  CTestTaskbar newTaskbar(RECT{0, 1032, 1920, 1080}, 1700, false);
  SendMessageW(m_band.m_hWatchWnd, g_uTaskbarCreatedMsg, 0, 0);
  ASSERT_NE(m_band.m_hWnd, nullptr);
  EXPECT_EQ(m_band.m_rcDefault.left, 1920 - 200 - 100) << "no notification area yet";

  POINT ptNotify{1700, 1032};
  ScreenToClient(newTaskbar.Handle(), &ptNotify);
  HWND hNotify =
      CreateWindowExW(0, L"TrayNotifyWnd", nullptr, WS_CHILD | WS_VISIBLE, ptNotify.x, ptNotify.y,
                      220, 48, newTaskbar.Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(hNotify, nullptr);
  SendMessageW(m_band.m_hWnd, WM_TIMER, 1, 0);
  EXPECT_EQ(m_band.m_rcDefault.left, 1700 - 100);
}

// A drag cut short by the taskbar going away is no drop: nothing is saved
// against a taskbar that no longer exists.
TEST_F(BandTest, ATaskbarThatDiesMidDragSavesNoPosition) {
  ASSERT_TRUE(Dock());
  m_debug.Clear();
  SendMessageW(m_band.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  ASSERT_TRUE(m_band.m_bDragging);
  m_taskbar.Destroy();
  for (const std::wstring& line : m_debug.Lines()) {
    EXPECT_NE(line.rfind(L"SavePosition:", 0), 0u)
        << "saved: " << std::string(line.begin(), line.end());
  }
  EXPECT_FALSE(m_band.m_bDragging);
}

}  // namespace
