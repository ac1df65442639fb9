// The band's default place, following the notification area, and dragging,
// under Wine with a test taskbar.

#include <gtest/gtest.h>

#include <chrono>

#include "BandFixture.h"

namespace {

using namespace std::chrono_literals;

// Mouse input as the user makes it: through the system's input queue, so the
// messages reach the band by hit-testing and capture.
void SendMouseInput(DWORD dwFlags, POINT ptScreen) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = MulDiv(ptScreen.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
  input.mi.dy = MulDiv(ptScreen.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
  input.mi.dwFlags = dwFlags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ASSERT_EQ(SendInput(1, &input, sizeof(input)), 1u);
}

void ExpectEachDragMessageHandedOnOnce(const CTestBand& band) {
  for (const UINT message : {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}) {
    EXPECT_EQ(band.DefaultCount(message), 1) << "message " << message;
  }
}

using PlacementTest = CBandTest;

TEST_F(PlacementTest, DocksFivePixelsLeftOfTheNotificationAreaAtTheDefaultSize) {
  Dock();
  EXPECT_EQ(m_band->m_rcDefault, (RECT{1600, 5, 1695, 43}));
  EXPECT_EQ(BandRect(), (RECT{1600, 5, 1695, 43}));
  EXPECT_EQ(BandScreenRect(), (RECT{1600, 1037, 1695, 1075}));
  EXPECT_EQ(m_band->m_nTrayNotifyLeft, 1700);
  EXPECT_TRUE(IsWindowVisible(Band()));
  EXPECT_EQ(m_band->m_renderer.m_nWidth, 95);
  EXPECT_EQ(m_band->m_renderer.m_nHeight, 38);
}

TEST_F(PlacementTest, GivesEveryPositionRelativeToATaskbarThatDoesNotStartAtZero) {
  Dock(RECT{300, 1032, 1820, 1080}, 1500);
  EXPECT_EQ(m_band->m_rcDefault, (RECT{1100, 5, 1195, 43}));
  EXPECT_EQ(BandScreenRect(), (RECT{1400, 1037, 1495, 1075}));
}

TEST_F(PlacementTest, AssumesTheNotificationArea200PixelsFromTheRightEndWhenThereIsNone) {
  Dock(kTaskbar, kNotifyLeft, false);
  EXPECT_EQ(m_band->m_rcDefault, (RECT{1620, 5, 1715, 43}));
  EXPECT_EQ(BandRect(), (RECT{1620, 5, 1715, 43}));
  EXPECT_EQ(m_band->m_nTrayNotifyLeft, 0);
}

TEST_F(PlacementTest, FollowsTheNotificationAreaOnTheNextTick) {
  Dock();
  MoveNotifyArea(1500);
  EXPECT_EQ(BandRect().left, 1600) << "nothing moves before the tick";
  Tick();
  EXPECT_EQ(m_band->m_nTrayNotifyLeft, 1500);
  EXPECT_EQ(BandRect(), (RECT{1400, 5, 1495, 43}));
}

TEST_F(PlacementTest, TheRunningTimerFollowsTheNotificationArea) {
  Dock();
  MoveNotifyArea(1500);
  EXPECT_TRUE(PumpMessagesUntil([&] { return BandRect().left == 1400; }, 2s));
}

TEST_F(PlacementTest, WatchesOnlyTheNotificationAreasLeftEdgeOnATick) {
  Dock();
  SetWindowPos(m_taskbar->Handle(), nullptr, 0, 1020, 1920, 60, SWP_NOZORDER | SWP_NOACTIVATE);
  m_rcTaskbar = RECT{0, 1020, 1920, 1080};
  Tick();
  EXPECT_EQ(BandRect(), (RECT{1600, 5, 1695, 43})) << "a taller taskbar alone causes no relayout";
  MoveNotifyArea(1690);
  Tick();
  EXPECT_EQ(BandRect(), (RECT{1590, 5, 1685, 55}));
}

TEST_F(PlacementTest, ALayoutOnATickWithoutNotificationAreaDoesNothing) {
  Dock();
  m_band->m_nTrayNotifyLeft = 0;
  DestroyWindow(m_taskbar->NotifyArea());
  Tick();
  EXPECT_EQ(BandRect().left, 1600);
  EXPECT_EQ(m_band->m_nTrayNotifyLeft, 0);
}

TEST_F(PlacementTest, AManuallyPlacedBandStaysWhenTheNotificationAreaMoves) {
  Dock();
  m_band->m_bManuallyPositioned = TRUE;
  MoveWindow(Band(), 400, 5, 95, 38, TRUE);
  MoveNotifyArea(300);
  Tick();
  EXPECT_EQ(BandRect().left, 400);
  EXPECT_EQ(m_band->m_nTrayNotifyLeft, 1700);
}

// Windows tells only top-level windows of these changes, as a broadcast; the
// docked band is a child of the taskbar and must still hear them.
constexpr UINT kLayoutBroadcasts[] = {WM_SETTINGCHANGE, WM_DISPLAYCHANGE};

void Broadcast(UINT message) noexcept {
  const LPARAM lParam = message == WM_DISPLAYCHANGE ? MAKELPARAM(1920, 1080) : 0;
  const WPARAM wParam = message == WM_DISPLAYCHANGE ? 32 : SPI_SETWORKAREA;
  DWORD_PTR nResult = 0;
  SendMessageTimeoutW(HWND_BROADCAST, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &nResult);
}

TEST_F(PlacementTest, ABroadcastSettingsOrDisplayChangePutsTheBandBackToItsDefaultPlace) {
  Dock();
  SetWindowPos(m_taskbar->Handle(), nullptr, 0, 1020, 1920, 60, SWP_NOZORDER | SWP_NOACTIVATE);
  m_rcTaskbar = RECT{0, 1020, 1920, 1080};
  for (const UINT message : kLayoutBroadcasts) {
    MoveWindow(Band(), 400, 9, 95, 30, TRUE);
    Broadcast(message);
    EXPECT_EQ(BandRect(), (RECT{1600, 5, 1695, 55})) << message;
    EXPECT_EQ(m_band->m_rcTaskbar, (RECT{0, 1020, 1920, 1080})) << message;
    EXPECT_EQ(m_band->m_renderer.m_nHeight, 50) << message;
  }
}

TEST_F(PlacementTest, ABroadcastSettingsOrDisplayChangeLeavesAManuallyPlacedBandAlone) {
  Dock();
  m_band->m_bManuallyPositioned = TRUE;
  for (const UINT message : kLayoutBroadcasts) {
    MoveWindow(Band(), 400, 5, 95, 38, TRUE);
    Broadcast(message);
    EXPECT_EQ(BandRect().left, 400) << message;
  }
}

// The drag: the band starts at relative x 1600, 95 wide, grabbed at client x 10.

TEST_F(PlacementTest, DraggingMovesTheBandWithTheCursorAndTakesTheCapture) {
  Dock();
  Mouse(WM_LBUTTONDOWN, 10, 20);
  EXPECT_TRUE(m_band->m_bDragging);
  EXPECT_EQ(m_band->m_nDragGrabX, 10);
  EXPECT_EQ(GetCapture(), Band());
  Mouse(WM_MOUSEMOVE, -490, 20);
  EXPECT_EQ(BandRect(), (RECT{1100, 5, 1195, 43}));
  Mouse(WM_MOUSEMOVE, 60, 20);  // the band is now at 1100: 60 - 10 further right
  EXPECT_EQ(BandRect(), (RECT{1150, 5, 1245, 43}));
}

struct ClampCase {
  const char* what;
  int nCursorX;
  LONG nExpectedLeft;
};

TEST_F(PlacementTest, DraggingStopsAtTheTaskbarsLeftEndAndAtTheNotificationArea) {
  constexpr ClampCase kCases[] = {
      {"far past the left end", -5000, 0},
      {"just past the left end", -1611, 0},
      {"right at the left end", -1590, 0},
      {"right edge meets the notification area", 15, 1605},
      {"far past the notification area", 900, 1605},
  };
  Dock();
  for (const auto& c : kCases) {
    MoveWindow(Band(), 1600, 5, 95, 38, TRUE);
    Mouse(WM_LBUTTONDOWN, 10, 20);
    Mouse(WM_MOUSEMOVE, c.nCursorX, 20);
    EXPECT_EQ(BandRect().left, c.nExpectedLeft) << c.what;
    m_band->m_bDragging = FALSE;
    ReleaseCapture();
  }
}

BOOL WINAPI FailGetMonitorInfo(HMONITOR, LPMONITORINFO) { return FALSE; }

TEST_F(PlacementTest, WhenTheMonitorCannotBeAskedADragFollowsTheCursorUnclamped) {
  Dock();
  const CCallPatch patch(L"user32.dll", "GetMonitorInfoW",
                         reinterpret_cast<const void*>(&FailGetMonitorInfo));
  ASSERT_TRUE(patch.IsActive());
  PressAndDragTo(-5000);
  EXPECT_EQ(BandRect().left, 1600 - 5010);
  Mouse(WM_MOUSEMOVE, 5000, 20);
  EXPECT_EQ(BandRect().left, 1580);
  Mouse(WM_MOUSEMOVE, 310, 20);
  EXPECT_EQ(BandRect().left, 1880) << "beyond the notification area";
}

TEST_F(PlacementTest, DraggingKeepsTheBandsSizeAndPutsItsTopAtTheDefaultTop) {
  Dock();
  MoveWindow(Band(), 900, 2, 80, 30, TRUE);
  PressAndDragTo(20);
  EXPECT_EQ(BandRect(), (RECT{910, 5, 990, 35}));
}

TEST_F(PlacementTest, APressDuringADragTakesHoldAgainAtTheNewPoint) {
  Dock();
  PressAndDragTo(-90);
  Mouse(WM_LBUTTONDOWN, 40, 20);
  EXPECT_TRUE(m_band->m_bDragging);
  EXPECT_EQ(m_band->m_nDragGrabX, 40);
  Mouse(WM_MOUSEMOVE, 0, 20);
  EXPECT_EQ(BandRect().left, 1460);
  EXPECT_TRUE(DebugLines(L"SavePosition:").empty());
}

TEST_F(PlacementTest, ADropWithTwentyPixelsClearStaysAndIsSavedAsPlacedByHand) {
  Dock();
  DragAndDropAt(-5);  // right edge at 1680: a gap of 20
  EXPECT_FALSE(m_band->m_bDragging);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_TRUE(m_band->m_bManuallyPositioned);
  EXPECT_EQ(BandRect().left, 1585);
  EXPECT_EQ(ReadSetting(L"Locked"), 0u);
  ExpectSavedOnce(1, 1585);
}

TEST_F(PlacementTest, ADropCloserThanTwentyPixelsSavesThePlaceThenSnapsBack) {
  Dock();
  DragAndDropAt(-4);  // right edge at 1681: a gap of 19
  EXPECT_FALSE(m_band->m_bManuallyPositioned);
  EXPECT_EQ(BandRect(), (RECT{1600, 5, 1695, 43}));
  ExpectSavedOnce(0, 1586);
}

TEST_F(PlacementTest, ASnappingDropEndsManualPlacement) {
  Dock();
  m_band->m_bManuallyPositioned = TRUE;
  MoveWindow(Band(), 400, 5, 95, 38, TRUE);
  DragAndDropAt(2000);
  EXPECT_FALSE(m_band->m_bManuallyPositioned);
  EXPECT_EQ(BandRect().left, 1600);
  MoveNotifyArea(1500);
  Tick();
  EXPECT_EQ(BandRect().left, 1400) << "the band follows the notification area again";
}

TEST_F(PlacementTest, WithoutNotificationAreaADragStopsOneBandWidthLeftOfTheTaskbarAndSnapsBack) {
  Dock(kTaskbar, kNotifyLeft, false);
  PressAndDragTo(-1000);
  EXPECT_EQ(BandRect().left, -95);
  Mouse(WM_LBUTTONUP, -1000, 20);
  EXPECT_FALSE(m_band->m_bManuallyPositioned);
  EXPECT_EQ(BandRect().left, 1920 - 300);
  EXPECT_EQ(ReadSetting(L"PosX"), static_cast<DWORD>(-95));
}

TEST_F(PlacementTest, APressMoveAndReleaseOfTheRealMouseDragsAndDropsTheBand) {
  Dock();
  const RECT rcStart = BandScreenRect();
  SendMouseInput(0, POINT{rcStart.left + 10, rcStart.top + 10});
  SendMouseInput(MOUSEEVENTF_LEFTDOWN, POINT{rcStart.left + 10, rcStart.top + 10});
  ASSERT_TRUE(PumpMessagesUntil([&] { return m_band->m_bDragging != FALSE; }, 2s));
  POINT ptDown{};
  GetCursorPos(&ptDown);
  EXPECT_EQ(GetCapture(), Band());

  SendMouseInput(0, POINT{rcStart.left - 590, rcStart.top + 10});
  ASSERT_TRUE(PumpMessagesUntil([&] { return BandRect().left < 1200; }, 2s));
  SendMouseInput(MOUSEEVENTF_LEFTUP, POINT{rcStart.left - 590, rcStart.top + 10});
  ASSERT_TRUE(PumpMessagesUntil([&] { return m_band->m_bDragging == FALSE; }, 2s));

  POINT ptUp{};
  GetCursorPos(&ptUp);
  const LONG nExpectedLeft = 1600 + (ptUp.x - ptDown.x);
  EXPECT_EQ(BandRect(), (RECT{nExpectedLeft, 5, nExpectedLeft + 95, 43}));
  EXPECT_TRUE(m_band->m_bManuallyPositioned);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(ReadSetting(L"PosX"), static_cast<DWORD>(nExpectedLeft));
  SendMouseInput(0, POINT{960, 300});  // out of the way of the tests that follow
}

TEST_F(PlacementTest, ALockedBandDoesNotDragButStillHandsTheMessagesOn) {
  Dock();
  m_band->m_bLocked = TRUE;
  m_band->SpyOnDefault();
  DragAndDropAt(-490);
  EXPECT_FALSE(m_band->m_bDragging);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(BandRect().left, 1600);
  EXPECT_FALSE(SettingsKeyExists());
  ExpectEachDragMessageHandedOnOnce(*m_band);
}

TEST_F(PlacementTest, DraggingHandsEveryMouseMessageOnToTheDefaultProcessing) {
  Dock();
  m_band->SpyOnDefault();
  DragAndDropAt(-490);
  ExpectEachDragMessageHandedOnOnce(*m_band);
}

TEST_F(PlacementTest, MovesWithoutAPressMoveNothing) {
  Dock();
  Mouse(WM_MOUSEMOVE, -490, 20);
  Mouse(WM_LBUTTONUP, -490, 20);
  EXPECT_EQ(BandRect().left, 1600);
  EXPECT_FALSE(SettingsKeyExists());
}

TEST_F(PlacementTest, LosingTheCaptureEndsTheDragAsADrop) {
  Dock();
  PressAndDragTo(-490);

  HWND hOther = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(hOther, nullptr);
  SetCapture(hOther);
  EXPECT_FALSE(m_band->m_bDragging);
  EXPECT_TRUE(m_band->m_bManuallyPositioned);
  ExpectSavedOnce(1, 1100);
  EXPECT_EQ(GetCapture(), hOther) << "the capture stays with the window that took it";

  Mouse(WM_MOUSEMOVE, 300, 20);
  Mouse(WM_LBUTTONUP, 300, 20);
  EXPECT_EQ(BandRect().left, 1100) << "the band no longer follows the pointer";
  EXPECT_EQ(DebugLines(L"SavePosition:").size(), 1u);
  ReleaseCapture();
  DestroyWindow(hOther);
}

TEST_F(PlacementTest, ADragCutShortByClosingTheBandDoesNotCarryOverToItsNextWindow) {
  Dock();
  PressAndDragTo(-490);
  SendMessageW(Band(), WM_CLOSE, 0, 0);
  int nExitCode = -1;
  EXPECT_TRUE(TakeQuitMessage(nExitCode));
  EXPECT_EQ(DebugLines(L"SavePosition:").size(), 1u);

  ASSERT_TRUE(CreateBand());
  const RECT rcBefore = BandRect();
  Mouse(WM_MOUSEMOVE, -300, 20);
  EXPECT_EQ(BandRect(), rcBefore) << "a move without a press drags nothing";
  EXPECT_FALSE(m_band->m_bDragging);
  EXPECT_EQ(DebugLines(L"SavePosition:").size(), 1u);
}

// The capture goes with the window; that is no drop, on any way down: the
// close saves once, as it always does, and a rebuild saves nothing.
TEST_F(PlacementTest, ADragEndsWithoutADropWhenTheBandIsRebuiltOrClosed) {
  Dock();
  for (const UINT message : {g_uTaskbarCreatedMsg, static_cast<UINT>(WM_CLOSE)}) {
    PressAndDragTo(-490);
    m_band->m_bCaptureLostOnDestroy = true;
    m_debug.Clear();
    SendMessageW(Band(), message, 0, 0);
    EXPECT_FALSE(m_band->m_bDragging) << message;
    EXPECT_EQ(DebugLines(L"SavePosition:").size(), message == WM_CLOSE ? 1u : 0u) << message;
  }
}

TEST_F(PlacementTest, LosingTheCaptureCloseToTheNotificationAreaSnapsBack) {
  Dock();
  PressAndDragTo(-4);
  ReleaseCapture();
  EXPECT_FALSE(m_band->m_bDragging);
  EXPECT_FALSE(m_band->m_bManuallyPositioned);
  EXPECT_EQ(BandRect().left, 1600);
  EXPECT_EQ(ReadSetting(L"PosX"), 1586u);
}

}  // namespace
