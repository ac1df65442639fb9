// The band window under Wine, docked into a test-only taskbar, with the
// composition surface on doubles (Wine has no DirectComposition).

#include <gtest/gtest.h>

#include <algorithm>

#include "support/BandFixture.h"

namespace {

bool HasUpdateRegion(HWND hWnd) { return GetUpdateRect(hWnd, nullptr, FALSE) != FALSE; }

LONG_PTR ExStyle(HWND hWnd) { return GetWindowLongPtrW(hWnd, GWL_EXSTYLE); }

using BandTest = CBandTest;

TEST_F(BandTest, TheTestTaskbarIsFoundAheadOfWinesOwn) {
  MakeTaskbar();
  EXPECT_EQ(FindWindowW(L"Shell_TrayWnd", nullptr), m_taskbar->Handle());
}

TEST(TaskbarCreatedTest, IsRegisteredByTheProgramItself) {
  EXPECT_NE(g_uTaskbarCreatedMsg, 0u);
  EXPECT_EQ(g_uTaskbarCreatedMsg, RegisterWindowMessageW(L"TaskbarCreated"));
}

struct TimerCall {
  HWND hWnd;
  UINT_PTR nId;
  UINT nPeriod;
  TIMERPROC pfnCallback;
};
std::vector<TimerCall> g_timerCalls;
const CCallPatch* g_pSetTimer = nullptr;

UINT_PTR WINAPI RecordSetTimer(HWND hWnd, UINT_PTR nId, UINT nPeriod, TIMERPROC pfn) {
  g_timerCalls.push_back({hWnd, nId, nPeriod, pfn});
  return g_pSetTimer->Original<decltype(&::SetTimer)>()(hWnd, nId, nPeriod, pfn);
}

TEST_F(BandTest, PollsOnTimerOneEveryHundredMilliseconds) {
  const CCallPatch patch(L"user32.dll", "SetTimer", reinterpret_cast<const void*>(&RecordSetTimer));
  ASSERT_TRUE(patch.IsActive());
  g_pSetTimer = &patch;
  g_timerCalls.clear();
  Dock();
  ASSERT_EQ(g_timerCalls.size(), 1u);
  EXPECT_EQ(g_timerCalls[0].hWnd, Band());
  EXPECT_EQ(g_timerCalls[0].nId, 1u);
  EXPECT_EQ(g_timerCalls[0].nPeriod, 100u);
  EXPECT_EQ(g_timerCalls[0].pfnCallback, nullptr) << "each expiry arrives as WM_TIMER";
}

TEST_F(BandTest, DocksAsChildOfTheTaskbarWithItsTitleStylesAndSurface) {
  Dock();
  HWND hBand = Band();
  EXPECT_EQ(GetAncestor(hBand, GA_PARENT), m_taskbar->Handle());
  EXPECT_EQ(Peer().m_hTaskbarWnd, m_taskbar->Handle());
  wchar_t szTitle[32] = {};
  GetWindowTextW(hBand, szTitle, 32);
  EXPECT_STREQ(szTitle, L"Nimbrel");
  EXPECT_NE(ExStyle(hBand) & WS_EX_TOOLWINDOW, 0);
  EXPECT_NE(ExStyle(hBand) & WS_EX_NOREDIRECTIONBITMAP, 0);
  EXPECT_TRUE(Peer().m_bRendererReady);
  EXPECT_TRUE(Peer().m_renderer.IsInitialized());
  EXPECT_EQ(m_doubles.Log().m_hTargetWnd, hBand);
  EXPECT_GE(m_doubles.Log().m_nPresents, 1) << "the first frame is drawn during start-up";
  EXPECT_TRUE(m_app.m_boxes.empty());
  EXPECT_NE(std::find(m_debug.Lines().begin(), m_debug.Lines().end(),
                      L"DirectComposition erfolgreich initialisiert!\n"),
            m_debug.Lines().end());
}

TEST_F(BandTest, TheTimerKeepsPollingOnItsOwn) {
  Dock();
  CTestPublisher publisher;
  ASSERT_TRUE(publisher.IsOpen());
  publisher.Publish(MakeTrafficRecord(5));
  EXPECT_TRUE(PumpMessagesUntil([&] { return Peer().m_traffic.m_nLastSequence == 5; },
                                std::chrono::milliseconds(2000)));
  publisher.Publish(MakeTrafficRecord(6));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(PumpMessagesUntil([&] { return Peer().m_traffic.m_nLastSequence == 6; },
                                std::chrono::milliseconds(2000)));
  // 100 ms apart; the bound leaves room for a busy machine.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST_F(BandTest, ATickTakesANewRecordAndInvalidatesTheBandInTheSameTick) {
  Dock();
  CTestPublisher publisher;
  publisher.Publish(MakeTrafficRecord(7));
  ValidateRect(Band(), nullptr);
  Tick();
  EXPECT_EQ(Peer().m_traffic.m_nLastSequence, 7u);
  EXPECT_EQ(Peer().m_traffic.m_nRateLower, MakeTrafficRecord(7).RateDown);
  EXPECT_TRUE(HasUpdateRegion(Band()));
  EXPECT_FALSE(Peer().m_hMapping);
  EXPECT_FALSE(Peer().m_pView);
}

TEST_F(BandTest, AnAbsentSectionCausesNoRepaint) {
  Dock();
  ValidateRect(Band(), nullptr);
  for (int i = 0; i < 5; ++i) {
    Tick();
    EXPECT_FALSE(HasUpdateRegion(Band()));
  }
  EXPECT_FALSE(Peer().m_traffic.m_bHasData);
}

// The z-order call puts the band on top without moving, sizing or activating
// it: HWND_TOP with SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE (0x13).
TEST_F(BandTest, AVisibleBandIsPutOnTopOfTheTaskbarsChildrenOnEveryTick) {
  Dock();
  m_band->SpyOnDefault();
  for (int i = 0; i < 3; ++i) {
    RaiseSiblingAboveBand();
    ASSERT_NE(TopChild(m_taskbar->Handle()), Band());
    m_band->m_windowPosChanges.clear();
    Tick();
    EXPECT_EQ(TopChild(m_taskbar->Handle()), Band()) << "tick " << i;
    ASSERT_EQ(m_band->m_windowPosChanges.size(), 1u) << "tick " << i;
    EXPECT_EQ(m_band->m_windowPosChanges[0].hwndInsertAfter, HWND_TOP);
    EXPECT_EQ(m_band->m_windowPosChanges[0].flags & 0xFFu, 0x13u);
  }
}

TEST_F(BandTest, AHiddenBandStillPollsButGetsNoZOrderCall) {
  Dock();
  ::ShowWindow(Band(), SW_HIDE);
  const HWND hSibling = RaiseSiblingAboveBand();
  CTestPublisher publisher;
  publisher.Publish(MakeTrafficRecord(11));
  Tick();
  EXPECT_EQ(TopChild(m_taskbar->Handle()), hSibling);
  EXPECT_EQ(Peer().m_traffic.m_nLastSequence, 11u);
}

TEST_F(BandTest, EveryTimerMessageEndsInTheDefaultProcessing) {
  Dock();
  m_band->SpyOnDefault();
  Tick();
  Tick(2);
  EXPECT_EQ(m_band->DefaultCount(WM_TIMER), 2);
}

TEST_F(BandTest, ATimerOfAnotherIdNeitherPollsNorRaisesTheBand) {
  Dock();
  const HWND hSibling = RaiseSiblingAboveBand();
  CTestPublisher publisher;
  publisher.Publish(MakeTrafficRecord(21));
  Tick(2);
  EXPECT_EQ(Peer().m_traffic.m_nLastSequence, 0u);
  EXPECT_EQ(TopChild(m_taskbar->Handle()), hSibling);
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
  Dock();
  m_band->SpyOnDefault();
  m_band->m_bReplaceDefaultHitTest = true;
  for (const HitTestCase& c : kHitTestCases) {
    m_band->m_nDefaultHitTest = c.m_nDefault;
    EXPECT_EQ(SendMessageW(Band(), WM_NCHITTEST, 0, MAKELPARAM(10, 10)), c.m_nExpected)
        << "default " << c.m_nDefault;
  }
}

TEST_F(BandTest, ErasingTheBackgroundDoesNothingAndReportsDone) {
  Dock();
  m_band->SpyOnDefault();
  HDC hDC = GetDC(Band());
  EXPECT_EQ(SendMessageW(Band(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0), TRUE);
  ReleaseDC(Band(), hDC);
  EXPECT_TRUE(m_band->m_defaultMessages.empty());
}

TEST_F(BandTest, PaintingPresentsAFrameAndValidatesTheWholeWindow) {
  Dock();
  m_band->SpyOnDefault();
  const int nPresentsBefore = m_doubles.Log().m_nPresents;
  InvalidateRect(Band(), nullptr, FALSE);
  UpdateWindow(Band());
  EXPECT_EQ(m_doubles.Log().m_nPresents, nPresentsBefore + 1);
  EXPECT_FALSE(HasUpdateRegion(Band()));
  EXPECT_EQ(m_band->DefaultCount(WM_PAINT), 0);
}

TEST_F(BandTest, ASettingsChangeGetsTheDefaultProcessing) {
  Dock();
  m_band->SpyOnDefault();
  SendMessageW(Band(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
  EXPECT_EQ(m_band->DefaultCount(WM_SETTINGCHANGE), 1);
}

TEST_F(BandTest, CloseReleasesTheSurfaceDestroysTheWindowAndEndsTheLoopWithZero) {
  Dock();
  HWND hBand = Band();
  SendMessageW(hBand, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(hBand));
  EXPECT_EQ(Band(), nullptr);
  EXPECT_FALSE(Peer().m_renderer.IsInitialized());
  EXPECT_EQ(Peer().m_renderer.CurrentSlots().m_pD3DDevice, nullptr);
  EXPECT_EQ(m_doubles.Log().LiveObjects(), 0);
  EXPECT_TRUE(Peer().m_bRendererReady) << "the flag is never cleared by a close";
  EXPECT_EQ(Peer().m_wndWatch.m_hWnd, nullptr);
  int nCode = -1;
  ASSERT_TRUE(TakeQuitMessage(nCode));
  EXPECT_EQ(nCode, 0);
}

TEST_F(BandTest, CloseSavesThePositionBeforeAnythingIsReleased) {
  Dock();
  m_debug.Clear();
  SendMessageW(Band(), WM_CLOSE, 0, 0);
  ASSERT_FALSE(m_debug.Lines().empty());
  EXPECT_EQ(m_debug.Lines().front().rfind(L"SavePosition:", 0), 0u) << "a save line first";
}

// Runs only in the child that RunTestsWithoutTaskbar starts.
using BandWithoutTaskbarTest = CBandTest;
TEST_F(BandWithoutTaskbarTest, ShowsItsBoxAndEndsTheProcessWithOne) {
  if (!IsRunningWithoutTaskbar()) {
    GTEST_SKIP() << "runs in a window station without taskbar only";
  }
  ASSERT_EQ(FindWindowW(L"Shell_TrayWnd", nullptr), nullptr);
  EXPECT_FALSE(CreateBand());
  EXPECT_EQ(Band(), nullptr);
  EXPECT_EQ(m_doubles.Log().m_nCalls, 0) << "no surface without a taskbar";
  ExpectErrorBoxAndExitOne(L"Taskbar not found!");
}

TEST_F(BandTest, WithoutAnyTaskbarTheBandShowsItsBoxAndEndsTheProcessWithOne) {
  EXPECT_EQ(RunTestsWithoutTaskbar(L"BandWithoutTaskbarTest.*"), 0);
}

TEST_F(BandTest, WhenDockingFailsTheBandShowsItsBoxAndEndsTheProcessWithOne) {
  MakeTaskbar();
  m_band->m_hDestroyWhenDocking = m_taskbar->Handle();
  EXPECT_FALSE(CreateBand());
  EXPECT_EQ(Band(), nullptr);
  EXPECT_FALSE(Peer().m_bRendererReady);
  ExpectErrorBoxAndExitOne(L"Failed to set parent to taskbar!");
}

TEST_F(BandTest, WhenTheSurfaceFailsTheBandShowsItsBoxAndEndsTheProcessWithOne) {
  MakeTaskbar();
  m_doubles.Fail().m_hrCreateCompositionDevice = E_NOTIMPL;
  EXPECT_FALSE(CreateBand());
  EXPECT_EQ(Band(), nullptr);
  EXPECT_FALSE(Peer().m_bRendererReady);
  EXPECT_EQ(m_doubles.Log().m_nPresents, 0);
  EXPECT_EQ(GetWindow(m_taskbar->Handle(), GW_CHILD), m_taskbar->NotifyArea())
      << "no band window is left inside the taskbar";
  ExpectErrorBoxAndExitOne(L"DirectComposition initialization failed!");
}

// Explorer restarting: the old taskbar goes (taking the docked band's window
// with it), a new one comes and announces itself with "TaskbarCreated".
TEST_F(BandTest, AfterATaskbarRestartTheBandDocksIntoTheNewTaskbarAndKeepsRunning) {
  Dock();
  HWND hOldBand = Band();
  m_taskbar->Destroy();
  EXPECT_FALSE(IsWindow(hOldBand));
  EXPECT_EQ(m_doubles.Log().LiveObjects(), 0) << "the surface of the dead window is released";
  int nCode = -1;
  EXPECT_FALSE(TakeQuitMessage(nCode)) << "losing the taskbar does not end the process";

  CTestTaskbar newTaskbar;
  const int nPresentsBefore = m_doubles.Log().m_nPresents;
  DWORD_PTR nResult = 0;
  SendMessageTimeoutW(HWND_BROADCAST, g_uTaskbarCreatedMsg, 0, 0, SMTO_NORMAL, 2000, &nResult);

  ASSERT_NE(Band(), nullptr);
  EXPECT_EQ(GetAncestor(Band(), GA_PARENT), newTaskbar.Handle());
  EXPECT_TRUE(IsWindowVisible(Band()));
  EXPECT_TRUE(Peer().m_bRendererReady);
  EXPECT_EQ(Peer().m_renderer.HostWindow(), Band());
  EXPECT_EQ(m_doubles.Log().m_hTargetWnd, Band());
  EXPECT_GT(m_doubles.Log().m_nPresents, nPresentsBefore) << "drawing again";

  CTestPublisher publisher;
  publisher.Publish(MakeTrafficRecord(31));
  EXPECT_TRUE(PumpMessagesUntil([&] { return Peer().m_traffic.m_nLastSequence == 31; },
                                std::chrono::milliseconds(2000)))
      << "polling again";
  EXPECT_FALSE(TakeQuitMessage(nCode));
}

TEST_F(BandTest, TaskbarCreatedReachingTheBandItselfRebuildsItWithoutEndingTheLoop) {
  Dock();
  HWND hOldBand = Band();
  SendMessageW(hOldBand, g_uTaskbarCreatedMsg, 0, 0);
  EXPECT_FALSE(IsWindow(hOldBand));
  ASSERT_NE(Band(), nullptr);
  EXPECT_EQ(GetAncestor(Band(), GA_PARENT), m_taskbar->Handle());
  EXPECT_EQ(Peer().m_renderer.HostWindow(), Band());
  EXPECT_EQ(m_doubles.Log().m_nTargets, 2);
  int nCode = -1;
  EXPECT_FALSE(TakeQuitMessage(nCode));
}

TEST_F(BandTest, AFailedRebuildShowsItsBoxAndEndsTheProcessWithOne) {
  Dock();
  m_doubles.Fail().m_hrCreateCompositionDevice = E_NOTIMPL;
  AnnounceNewTaskbar();
  EXPECT_EQ(Band(), nullptr);
  ExpectErrorBoxAndExitOne(L"DirectComposition initialization failed!");
}

// The new notification area may come after "TaskbarCreated", at the very place
// the old one had; the band must still find its way there.
TEST_F(BandTest, AfterARestartANotificationAreaThatComesLaterAtItsOldPlaceIsFollowed) {
  Dock();
  ASSERT_EQ(Peer().m_nTrayNotifyLeft, 1700);
  m_taskbar->Destroy();
  CTestTaskbar newTaskbar(RECT{0, 1032, 1920, 1080}, 1700, false);
  AnnounceNewTaskbar();
  ASSERT_NE(Band(), nullptr);
  EXPECT_EQ(Peer().m_rcDefault.left, 1920 - 200 - 100) << "no notification area yet";

  POINT ptNotify{1700, 1032};
  ScreenToClient(newTaskbar.Handle(), &ptNotify);
  HWND hNotify =
      CreateWindowExW(0, L"TrayNotifyWnd", nullptr, WS_CHILD | WS_VISIBLE, ptNotify.x, ptNotify.y,
                      220, 48, newTaskbar.Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(hNotify, nullptr);
  SendMessageW(Band(), WM_TIMER, 1, 0);
  EXPECT_EQ(Peer().m_rcDefault.left, 1700 - 100);
}

// A drag cut short by the taskbar going away is no drop: nothing is saved
// against a taskbar that no longer exists.
TEST_F(BandTest, ATaskbarThatDiesMidDragSavesNoPosition) {
  Dock();
  m_debug.Clear();
  SendMessageW(Band(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  ASSERT_TRUE(Peer().m_bDragging);
  m_taskbar->Destroy();
  for (const std::wstring& line : m_debug.Lines()) {
    EXPECT_NE(line.rfind(L"SavePosition:", 0), 0u)
        << "saved: " << std::string(line.begin(), line.end());
  }
  EXPECT_FALSE(Peer().m_bDragging);
}

}  // namespace
