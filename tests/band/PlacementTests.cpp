// The band's default place, following the notification area, and dragging,
// under Wine with a test taskbar.

#include <gtest/gtest.h>

#include <chrono>

#include "support/BandFixture.h"

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
  EXPECT_EQ(Peer().m_rcDefault, (RECT{1600, 5, 1695, 43}));
  EXPECT_EQ(BandRect(), (RECT{1600, 5, 1695, 43}));
  EXPECT_EQ(BandScreenRect(), (RECT{1600, 1037, 1695, 1075}));
  EXPECT_EQ(Peer().m_nTrayNotifyLeft, 1700);
  EXPECT_TRUE(IsWindowVisible(Band()));
  EXPECT_EQ(Peer().m_renderer.Width(), 95);
  EXPECT_EQ(Peer().m_renderer.Height(), 38);
}

TEST_F(PlacementTest, GivesEveryPositionRelativeToATaskbarThatDoesNotStartAtZero) {
  Dock(RECT{300, 1032, 1820, 1080}, 1500);
  EXPECT_EQ(Peer().m_rcDefault, (RECT{1100, 5, 1195, 43}));
  EXPECT_EQ(BandScreenRect(), (RECT{1400, 1037, 1495, 1075}));
}

TEST_F(PlacementTest, AssumesTheNotificationArea200PixelsFromTheRightEndWhenThereIsNone) {
  Dock(kTaskbar, kNotifyLeft, false);
  EXPECT_EQ(Peer().m_rcDefault, (RECT{1620, 5, 1715, 43}));
  EXPECT_EQ(BandRect(), (RECT{1620, 5, 1715, 43}));
  EXPECT_EQ(Peer().m_nTrayNotifyLeft, 0);
}

TEST_F(PlacementTest, FollowsTheNotificationAreaOnTheNextTick) {
  Dock();
  MoveNotifyArea(1500);
  EXPECT_EQ(BandRect().left, 1600) << "nothing moves before the tick";
  Tick();
  EXPECT_EQ(Peer().m_nTrayNotifyLeft, 1500);
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
  Peer().m_nTrayNotifyLeft = 0;
  DestroyWindow(m_taskbar->NotifyArea());
  Tick();
  EXPECT_EQ(BandRect().left, 1600);
  EXPECT_EQ(Peer().m_nTrayNotifyLeft, 0);
}

TEST_F(PlacementTest, AManuallyPlacedBandStaysWhenTheNotificationAreaMoves) {
  Dock();
  Peer().m_bManuallyPositioned = TRUE;
  MoveWindow(Band(), 400, 5, 95, 38, TRUE);
  MoveNotifyArea(300);
  Tick();
  EXPECT_EQ(BandRect().left, 400);
  EXPECT_EQ(Peer().m_nTrayNotifyLeft, 1700);
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
    EXPECT_EQ(Peer().m_rcTaskbar, (RECT{0, 1020, 1920, 1080})) << message;
    EXPECT_EQ(Peer().m_renderer.Height(), 50) << message;
  }
}

// Placed by hand at 1100 (the drop is saved there), then the taskbar grows
// to 60 pixels without a word: each broadcast gives the band the new height
// at its own place.
TEST_F(PlacementTest, ABroadcastSettingsOrDisplayChangeKeepsAHandPlacedBandsXAtTheNewHeight) {
  Dock();
  DragAndDropAt(-490);
  ASSERT_TRUE(Peer().m_bManuallyPositioned);
  ASSERT_EQ(BandRect().left, 1100);
  for (const UINT message : kLayoutBroadcasts) {
    KillTimer(Band(), ID_BAND_TIMER);  // only the broadcast may tell the band
    SetWindowPos(m_taskbar->Handle(), nullptr, 0, 1020, 1920, 60, SWP_NOZORDER | SWP_NOACTIVATE);
    m_rcTaskbar = RECT{0, 1020, 1920, 1080};
    m_debug.Clear();
    Broadcast(message);
    EXPECT_EQ(BandRect(), (RECT{1100, 5, 1195, 55})) << message;
    EXPECT_TRUE(Peer().m_bManuallyPositioned) << message;
    EXPECT_EQ(Peer().m_rcTaskbar, (RECT{0, 1020, 1920, 1080})) << message;
    EXPECT_EQ(Peer().m_renderer.Height(), 50) << message;
    EXPECT_TRUE(m_debug.Lines().empty()) << "nothing to say, nothing saved";
    // Back to 48 for the next message.
    SetWindowPos(m_taskbar->Handle(), nullptr, 0, 1032, 1920, 48, SWP_NOZORDER | SWP_NOACTIVATE);
    m_rcTaskbar = kTaskbar;
    Broadcast(message);
    EXPECT_EQ(BandRect(), (RECT{1100, 5, 1195, 43})) << message;
  }
  EXPECT_EQ(ReadSetting(L"PosX"), 1100u);
}

TEST_F(PlacementTest, TheTickFollowsATaskbarThatChangedUnderAHandPlacedBand) {
  Dock();
  DragAndDropAt(-490);
  SetWindowPos(m_taskbar->Handle(), nullptr, 0, 1016, 1920, 64, SWP_NOZORDER | SWP_NOACTIVATE);
  m_rcTaskbar = RECT{0, 1016, 1920, 1080};
  Tick();
  EXPECT_EQ(BandRect(), (RECT{1100, 5, 1195, 59}));
  EXPECT_EQ(Peer().m_renderer.Height(), 54);
  EXPECT_TRUE(Peer().m_bManuallyPositioned);
}

struct NoLongerFitsCase {
  const char* what;
  RECT rcTaskbar;    // screen
  LONG nNotifyLeft;  // screen
  RECT rcDefault;    // relative to the taskbar
};

// Placed by hand at 1100 (95 wide, to 1195) in a taskbar 1920 wide.
constexpr NoLongerFitsCase kNoLongerFitsCases[] = {
    {"a screen that narrowed to 1000", {0, 1032, 1000, 1080}, 800, {700, 5, 795, 43}},
    {"a notification area that grew over the band",
     {0, 1032, 1920, 1080},
     1150,
     {1050, 5, 1145, 43}},
    {"a taskbar whose left end moved right under a band near its notification area",
     {600, 1032, 1920, 1080},
     1700,
     {1000, 5, 1095, 43}},
};

class HandPlacedOnAChangedTaskbarTest : public CBandTest,
                                        public testing::WithParamInterface<NoLongerFitsCase> {};

TEST_P(HandPlacedOnAChangedTaskbarTest, ThatNoLongerFitsGoesToTheDefaultPlaceAndSaysSoOnce) {
  const NoLongerFitsCase& c = GetParam();
  Dock();
  DragAndDropAt(-490);
  ASSERT_EQ(BandRect().left, 1100);
  const RECT& rc = c.rcTaskbar;
  SetWindowPos(m_taskbar->Handle(), nullptr, rc.left, rc.top, rc.right - rc.left,
               rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
  m_rcTaskbar = rc;
  MoveNotifyArea(c.nNotifyLeft);
  m_debug.Clear();
  SendMessageW(Band(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
  EXPECT_FALSE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(BandRect(), c.rcDefault);
  EXPECT_EQ(Peer().m_rcDefault, c.rcDefault);
  EXPECT_EQ(DebugLines(L""), std::vector<std::wstring>{L"FollowTaskbar: relativeX=1100 no longer "
                                                       L"fits the taskbar, back to the default "
                                                       L"place\n"});
  EXPECT_EQ(ReadSetting(L"ManuallyPositioned"), 1u) << "the registry is left as it was";
  EXPECT_EQ(ReadSetting(L"PosX"), 1100u);
  // From now on it is a band at its default place.
  MoveNotifyArea(c.nNotifyLeft - 10);
  Tick();
  EXPECT_EQ(BandRect().left, c.rcDefault.left - 10);
}

INSTANTIATE_TEST_SUITE_P(Changes, HandPlacedOnAChangedTaskbarTest,
                         testing::ValuesIn(kNoLongerFitsCases));

// What a start does with that saved place on the narrowed taskbar is what
// the band did when the taskbar narrowed under it.
TEST_F(PlacementTest, AHandPlacedBandOnANarrowedTaskbarEndsWhereAStartWouldPutIt) {
  Dock();
  DragAndDropAt(-490);
  SetWindowPos(m_taskbar->Handle(), nullptr, 0, 1032, 1000, 48, SWP_NOZORDER | SWP_NOACTIVATE);
  m_rcTaskbar = RECT{0, 1032, 1000, 1080};
  MoveNotifyArea(800);
  SendMessageW(Band(), WM_DISPLAYCHANGE, 32, MAKELPARAM(1000, 1080));
  const RECT rcFollowed = BandRect();
  const BOOL bManual = Peer().m_bManuallyPositioned;

  m_debug.Clear();
  Redock();
  EXPECT_EQ(DebugLines(L"LoadPosition:").back(),
            L"LoadPosition: Position ung\u00FCltig, verwende Standard\n");
  EXPECT_EQ(BandRect(), rcFollowed);
  EXPECT_EQ(Peer().m_bManuallyPositioned, bManual);
}

// The taskbar's left end moved 300 pixels right and nothing has told the
// band yet; it sits 1600 pixels into the taskbar, screen x 1900.
class PlacementOnAMovedTaskbarTest : public CBandTest {
 protected:
  void SetUp() override {
    Dock();
    KillTimer(Band(), ID_BAND_TIMER);
    SetWindowPos(m_taskbar->Handle(), nullptr, 300, 1032, 1620, 48, SWP_NOZORDER | SWP_NOACTIVATE);
    m_rcTaskbar = RECT{300, 1032, 1920, 1080};
    MoveNotifyArea(2000);  // stays 1700 into the taskbar
    ASSERT_EQ(BandScreenRect().left, 1900);
  }
};

TEST_F(PlacementOnAMovedTaskbarTest, ASaveGivesThePlaceInTheTaskbarAsItIsNow) {
  m_band->SavePosition();
  EXPECT_EQ(ReadSetting(L"PosX"), 1600u);
  EXPECT_EQ(Peer().m_rcTaskbar, m_rcTaskbar);
}

TEST_F(PlacementOnAMovedTaskbarTest, ADragMovesTheBandAlongTheTaskbarAsItIsNow) {
  PressAndDragTo(-490);  // 500 to the left
  EXPECT_EQ(BandRect().left, 1100);
  Mouse(WM_LBUTTONUP, -490, 20);
  EXPECT_TRUE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(ReadSetting(L"PosX"), 1100u);
}

// A taskbar along the top of the screen: everything as at the bottom.
TEST_F(PlacementTest, AtTheTopOfTheScreenTheBandDocksDragsAndComesBackAsAtTheBottom) {
  Dock(RECT{0, 0, 1920, 48}, 1700);
  EXPECT_EQ(BandRect(), (RECT{1600, 5, 1695, 43}));
  EXPECT_EQ(BandScreenRect(), (RECT{1600, 5, 1695, 43}));
  EXPECT_TRUE(IsWindowVisible(Band()));
  DragAndDropAt(-490);
  EXPECT_EQ(BandScreenRect(), (RECT{1100, 5, 1195, 43}));
  ExpectSavedOnce(1, 1100);
  Redock();
  EXPECT_EQ(BandScreenRect(), (RECT{1100, 5, 1195, 43}));
  EXPECT_TRUE(Peer().m_bManuallyPositioned);
}

// On a side of the screen there is no place 95 pixels along the taskbar: the
// band hides, says so once, keeps polling, and comes back at its place when
// the taskbar is horizontal again.
TEST_F(PlacementTest, OnAVerticalTaskbarTheBandHidesSaysSoOnceAndComesBackWhenItIsHorizontal) {
  Dock(RECT{0, 0, 62, 1080}, 0);
  KillTimer(Band(), ID_BAND_TIMER);
  EXPECT_FALSE(IsWindowVisible(Band()));
  const std::vector<std::wstring> kHidden{
      L"UpdateLayout: taskbar on a side of the screen, band hidden until it is horizontal "
      L"again\n"};
  EXPECT_EQ(DebugLines(L"UpdateLayout:"), kHidden);
  SendMessageW(Band(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
  Tick();
  EXPECT_FALSE(IsWindowVisible(Band()));
  EXPECT_EQ(DebugLines(L"UpdateLayout:"), kHidden) << "said once";
  CTestPublisher publisher;
  publisher.Publish(MakeTrafficRecord(51));
  Tick();
  EXPECT_EQ(Peer().m_traffic.m_nLastSequence, 51u) << "still polling";

  SetWindowPos(m_taskbar->Handle(), nullptr, 0, 1032, 1920, 48, SWP_NOZORDER | SWP_NOACTIVATE);
  m_rcTaskbar = kTaskbar;
  MoveNotifyArea(1700);
  SendMessageW(Band(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
  EXPECT_TRUE(IsWindowVisible(Band()));
  EXPECT_EQ(BandRect(), (RECT{1600, 5, 1695, 43}));

  // Placed by hand, then the taskbar goes to the side and back: the same place.
  DragAndDropAt(-490);
  SetWindowPos(m_taskbar->Handle(), nullptr, 1858, 0, 62, 1080, SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(Band(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
  EXPECT_FALSE(IsWindowVisible(Band()));
  EXPECT_EQ(DebugLines(L"UpdateLayout:").size(), 2u) << "said again for the new time";
  SetWindowPos(m_taskbar->Handle(), nullptr, 0, 1032, 1920, 48, SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(Band(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
  EXPECT_TRUE(IsWindowVisible(Band()));
  EXPECT_EQ(BandRect(), (RECT{1100, 5, 1195, 43}));
  EXPECT_TRUE(Peer().m_bManuallyPositioned);
}

// The drag: the band starts at relative x 1600, 95 wide, grabbed at client x 10.

TEST_F(PlacementTest, DraggingMovesTheBandWithTheCursorAndTakesTheCapture) {
  Dock();
  Mouse(WM_LBUTTONDOWN, 10, 20);
  EXPECT_TRUE(Peer().m_bDragging);
  EXPECT_EQ(Peer().m_nDragGrabX, 10);
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
    Peer().m_bDragging = FALSE;
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
  EXPECT_TRUE(Peer().m_bDragging);
  EXPECT_EQ(Peer().m_nDragGrabX, 40);
  Mouse(WM_MOUSEMOVE, 0, 20);
  EXPECT_EQ(BandRect().left, 1460);
  EXPECT_TRUE(DebugLines(L"SavePosition:").empty());
}

TEST_F(PlacementTest, ADropWithTwentyPixelsClearStaysAndIsSavedAsPlacedByHand) {
  Dock();
  DragAndDropAt(-5);  // right edge at 1680: a gap of 20
  EXPECT_FALSE(Peer().m_bDragging);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_TRUE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(BandRect().left, 1585);
  EXPECT_EQ(ReadSetting(L"Locked"), 0u);
  ExpectSavedOnce(1, 1585);
}

TEST_F(PlacementTest, ADropCloserThanTwentyPixelsSavesThePlaceThenSnapsBack) {
  Dock();
  DragAndDropAt(-4);  // right edge at 1681: a gap of 19
  EXPECT_FALSE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(BandRect(), (RECT{1600, 5, 1695, 43}));
  ExpectSavedOnce(0, 1586);
}

TEST_F(PlacementTest, ASnappingDropEndsManualPlacement) {
  Dock();
  Peer().m_bManuallyPositioned = TRUE;
  MoveWindow(Band(), 400, 5, 95, 38, TRUE);
  DragAndDropAt(2000);
  EXPECT_FALSE(Peer().m_bManuallyPositioned);
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
  EXPECT_FALSE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(BandRect().left, 1920 - 300);
  EXPECT_EQ(ReadSetting(L"PosX"), static_cast<DWORD>(-95));
}

TEST_F(PlacementTest, APressMoveAndReleaseOfTheRealMouseDragsAndDropsTheBand) {
  Dock();
  const RECT rcStart = BandScreenRect();
  SendMouseInput(0, POINT{rcStart.left + 10, rcStart.top + 10});
  SendMouseInput(MOUSEEVENTF_LEFTDOWN, POINT{rcStart.left + 10, rcStart.top + 10});
  ASSERT_TRUE(PumpMessagesUntil([&] { return Peer().m_bDragging != FALSE; }, 2s));
  POINT ptDown{};
  GetCursorPos(&ptDown);
  EXPECT_EQ(GetCapture(), Band());

  SendMouseInput(0, POINT{rcStart.left - 590, rcStart.top + 10});
  ASSERT_TRUE(PumpMessagesUntil([&] { return BandRect().left < 1200; }, 2s));
  SendMouseInput(MOUSEEVENTF_LEFTUP, POINT{rcStart.left - 590, rcStart.top + 10});
  ASSERT_TRUE(PumpMessagesUntil([&] { return Peer().m_bDragging == FALSE; }, 2s));

  POINT ptUp{};
  GetCursorPos(&ptUp);
  const LONG nExpectedLeft = 1600 + (ptUp.x - ptDown.x);
  EXPECT_EQ(BandRect(), (RECT{nExpectedLeft, 5, nExpectedLeft + 95, 43}));
  EXPECT_TRUE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(ReadSetting(L"PosX"), static_cast<DWORD>(nExpectedLeft));
  SendMouseInput(0, POINT{960, 300});  // out of the way of the tests that follow
}

TEST_F(PlacementTest, ALockedBandDoesNotDragButStillHandsTheMessagesOn) {
  Dock();
  Peer().m_bLocked = TRUE;
  m_band->SpyOnDefault();
  DragAndDropAt(-490);
  EXPECT_FALSE(Peer().m_bDragging);
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
  EXPECT_FALSE(Peer().m_bDragging);
  EXPECT_TRUE(Peer().m_bManuallyPositioned);
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
  EXPECT_FALSE(Peer().m_bDragging);
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
    EXPECT_FALSE(Peer().m_bDragging) << message;
    EXPECT_EQ(DebugLines(L"SavePosition:").size(), message == WM_CLOSE ? 1u : 0u) << message;
  }
}

TEST_F(PlacementTest, LosingTheCaptureCloseToTheNotificationAreaSnapsBack) {
  Dock();
  PressAndDragTo(-4);
  ReleaseCapture();
  EXPECT_FALSE(Peer().m_bDragging);
  EXPECT_FALSE(Peer().m_bManuallyPositioned);
  EXPECT_EQ(BandRect().left, 1600);
  EXPECT_EQ(ReadSetting(L"PosX"), 1586u);
}

}  // namespace
