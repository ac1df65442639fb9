// The real Nimbrel.exe with the composition stand-in beside it, docked in the
// development taskbar, each group in a scratch Wine prefix of its own; the
// band is observed only from outside: the window tree, the screen, the
// registry, and real mouse and keyboard input.

#include <gtest/gtest.h>

#include <windows.h>

#include <wtsapi32.h>

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "e2e/DockedBand.h"
#include "devshell/FrameSection.h"
#include "support/TestSupport.h"

namespace {

constexpr std::uint32_t kTrackGrey = 0xFF404040;  // (0.25, 0.25, 0.25) on the screen
constexpr std::uint32_t kUpColor = 0xFF8000;
constexpr std::uint32_t kDownColor = 0x20C0FF;

// Upload on the upper line, in colours that stand out from the taskbar.
SharedTrafficRecord Record(std::uint64_t nSequence, std::int64_t nRateDown, std::int64_t nMaxDown,
                           std::int64_t nRateUp, std::int64_t nMaxUp) {
  SharedTrafficRecord record = MakeTrafficRecord(nSequence);
  record.RateDown = nRateDown;
  record.RateUp = nRateUp;
  record.MaxDown = nMaxDown;
  record.MaxUp = nMaxUp;
  record.ColorDown = kDownColor;
  record.ColorUp = kUpColor;
  return record;
}

RECT Shifted(RECT rc, LONG dx) { return {rc.left + dx, rc.top, rc.right + dx, rc.bottom}; }

// Record n with its download at a quarter, a half, three quarters or all of
// its full scale, in turn: a lower bar of 75 * (n % 4 + 1) / 4 pixels.
SharedTrafficRecord QuarterRecord(std::uint64_t n) {
  return Record(n, static_cast<std::int64_t>(n % 4 + 1) * 250000, 1000000, 1000, 4000);
}

bool ShowsQuarterRecord(const ScreenImage& band, std::uint64_t n) {
  const double fExpected = 75.0 * static_cast<double>(n % 4 + 1) / 4.0;
  return std::abs(RunLength(band, LowerTrackRow(band), kDownColor) - fExpected) < 1.0;
}

// As the system tells every top-level window (Wine delivers such a broadcast).
bool BroadcastPower(WPARAM wEvent) {
  DWORD_PTR nResult = 0;
  return SendMessageTimeoutW(HWND_BROADCAST, WM_POWERBROADCAST, wEvent, 0, SMTO_ABORTIFHUNG,
                             kE2eTimeoutMs, &nResult) != 0;
}

// As the system tells the windows that registered for it: the watch window.
bool SendSessionChange(HWND hWatch, WPARAM wEvent) {
  DWORD_PTR nResult = 0;
  return SendMessageTimeoutW(hWatch, WM_WTSSESSION_CHANGE, wEvent, 1, SMTO_ABORTIFHUNG,
                             kE2eTimeoutMs, &nResult) != 0;
}

// ---------------------------------------------------------------------------

using DockingTest = CDockedBandTest;

TEST_F(DockingTest, DocksInTheTaskbarAtItsDefaultPlaceAndFollowsTheNotificationArea) {
  EXPECT_EQ(GetAncestor(Band(), GA_PARENT), Taskbar());
  const RECT rcTaskbar = TaskbarRect();
  EXPECT_EQ(BandRect(), (RECT{1600, rcTaskbar.top + 5, 1695, rcTaskbar.bottom - 5}));
  EXPECT_EQ(BandRect(), DefaultBandRect());
  EXPECT_TRUE(ShowsTracks(CaptureBand()));

  const RECT rcOld = BandRect();
  ASSERT_TRUE(SendTaskbarCommand(DevTaskbarCommand::MoveNotifyArea, 1500));
  EXPECT_TRUE(WaitUntil([&] { return BandRect().left == 1400; }));
  EXPECT_EQ(BandRect(), DefaultBandRect());
  EXPECT_TRUE(WaitUntil([&] { return ShowsTracks(CaptureBand()); }));
  EXPECT_TRUE(WaitUntil([&] { return ShowsBareTaskbar(rcOld); })) << "nothing left behind";
}

// The band's ticks watch only the notification area's edge on the screen.
// Here the taskbar starts 300 px further right while that edge stays where it
// is: nothing for a tick to see, and the band keeps its old place in the
// taskbar, over the notification area, until the system says settings changed.
TEST_F(DockingTest, ASettingsChangeBroadcastBringsAnUnmovedBandBackToItsDefaultPlace) {
  const RECT rcDefault = BandRect();
  ASSERT_TRUE(SendTaskbarCommand(DevTaskbarCommand::MoveTaskbarLeft, 300));
  ASSERT_EQ(TaskbarRect().left, 300);
  ASSERT_EQ(NotifyLeft(), rcDefault.right + 5);
  Sleep(300);
  ASSERT_EQ(BandRect(), Shifted(rcDefault, 300)) << "the band heard of it some other way";

  DWORD_PTR nResult = 0;
  ASSERT_NE(SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                                reinterpret_cast<LPARAM>(L"TraySettings"), SMTO_ABORTIFHUNG,
                                kE2eTimeoutMs, &nResult),
            0);
  EXPECT_TRUE(WaitUntil([&] { return BandRect() == rcDefault; }));
  EXPECT_EQ(BandRect(), DefaultBandRect());
  EXPECT_TRUE(WaitUntil([&] { return ShowsTracks(CaptureBand()); }));
}

// A taskbar of another height announces a new work area, as Explorer's does;
// its notification area's edge stays, so only that announcement can tell the
// band. The band's frame is drawn at the new size.
TEST_F(DockingTest, ATaskbarHeightChangeResizesTheBand) {
  const LONG nNotifyLeft = NotifyLeft();
  ASSERT_TRUE(SendTaskbarCommand(DevTaskbarCommand::SetHeight, 64));
  ASSERT_EQ(TaskbarRect().bottom - TaskbarRect().top, 64);
  ASSERT_EQ(NotifyLeft(), nNotifyLeft);
  EXPECT_TRUE(WaitUntil([&] { return BandRect().bottom - BandRect().top == 54; }));
  EXPECT_EQ(BandRect(), (RECT{1600, TaskbarRect().top + 5, 1695, TaskbarRect().bottom - 5}));
  EXPECT_EQ(BandRect(), DefaultBandRect());
  EXPECT_TRUE(WaitUntil([&] {
    const ScreenImage band = CaptureBand();
    return band.m_nHeight == 54 && ShowsTracks(band);
  })) << "not drawn at its new size";
}

// ---------------------------------------------------------------------------

using PixelsTest = CDockedBandTest;

TEST_F(PixelsTest, WhatThePublisherWritesIsDrawnAndWithThePublisherGoneItIsNoDataAgain) {
  const ScreenImage noData = CaptureBand();
  ASSERT_TRUE(ShowsTracks(noData));
  EXPECT_EQ(RunLength(noData, UpperTrackRow(noData), 0x404040), 75) << "a bare track";

  CTestPublisher publisher;
  ASSERT_TRUE(publisher.IsOpen());
  // Upload 3/4 of its full scale on the upper line, download 1/4 below.
  publisher.Publish(Record(1, 250000, 1000000, 3000, 4000));
  ScreenImage first;
  ASSERT_TRUE(WaitUntil([&] {
    first = CaptureBand();
    return RunLength(first, UpperTrackRow(first), kUpColor) > 0;
  })) << "the record never reached the screen";
  // Bars from x 18 over (W - 20) * fraction of the 95 px band; how the last,
  // partly covered pixel comes out is the rasteriser's business.
  EXPECT_NEAR(RunLength(first, UpperTrackRow(first), kUpColor), 75 * 0.75, 1.0);
  EXPECT_NEAR(RunLength(first, UpperTrackRow(first) + 1, kUpColor), 75 * 0.75, 1.0);
  EXPECT_NEAR(RunLength(first, LowerTrackRow(first), kDownColor), 75 * 0.25, 1.0);
  EXPECT_EQ(first.At(kBarLeft + 60, UpperTrackRow(first)), kTrackGrey) << "the track goes on";

  // A full bar and new figures: the text changes along with the bars.
  publisher.Publish(Record(2, 2000000, 1000000, 1000, 4000));
  ScreenImage second;
  ASSERT_TRUE(WaitUntil([&] {
    second = CaptureBand();
    return RunLength(second, LowerTrackRow(second), kDownColor) == 75;
  }));
  EXPECT_NEAR(RunLength(second, UpperTrackRow(second), kUpColor), 75 * 0.25, 1.0);
  auto textDiffers = [](const ScreenImage& a, const ScreenImage& b, int yFrom, int yTo) {
    for (int y = yFrom; y < yTo; ++y) {
      for (int x = kBarLeft; x < a.m_nWidth; ++x) {
        if (a.At(x, y) != b.At(x, y)) {
          return true;
        }
      }
    }
    return false;
  };
  EXPECT_TRUE(textDiffers(noData, first, 0, UpperTrackRow(first)));
  EXPECT_TRUE(textDiffers(first, second, 0, UpperTrackRow(first)));
  EXPECT_TRUE(textDiffers(first, second, first.m_nHeight / 2, LowerTrackRow(first)));

  publisher.Close();
  EXPECT_TRUE(WaitUntil([&] { return CaptureBand().m_pixels == noData.m_pixels; }))
      << "without the publisher the band shows exactly what it showed before it came";
}

// ---------------------------------------------------------------------------

using DragTest = CDockedBandTest;

TEST_F(DragTest, ADropAtLeastTwentyPixelsClearOfTheNotificationAreaStaysAndIsSaved) {
  const RECT rcDefault = BandRect();
  DragBandBy(-15);  // the gap grows from 5 to 20
  EXPECT_TRUE(WaitUntil([&] { return BandRect() == Shifted(rcDefault, -15); }));
  DWORD dwManual = 0;
  DWORD dwPosX = 0;
  ASSERT_TRUE(WaitUntil([&] { return ReadSetting(L"ManuallyPositioned", dwManual); }));
  EXPECT_EQ(dwManual, 1u);
  ASSERT_TRUE(ReadSetting(L"PosX", dwPosX));
  EXPECT_EQ(static_cast<LONG>(dwPosX), BandRect().left - TaskbarRect().left);

  DragBandBy(-585);
  EXPECT_TRUE(WaitUntil([&] { return BandRect() == Shifted(rcDefault, -600); }));
  EXPECT_TRUE(WaitUntil([&] { return ShowsTracks(CaptureBand()); })) << "drawn at its new place";
  EXPECT_TRUE(WaitUntil([&] {
    return ReadSetting(L"PosX", dwPosX) &&
           static_cast<LONG>(dwPosX) == rcDefault.left - 600 - TaskbarRect().left;
  }));
  EXPECT_TRUE(ShowsBareTaskbar(rcDefault));
}

TEST_F(DragTest, ACloserDropSnapsBackAndSavesTheDroppedPlace) {
  const RECT rcDefault = BandRect();
  DragBandBy(-14);  // a gap of 19
  DWORD dwManual = 1;
  DWORD dwPosX = 0;
  ASSERT_TRUE(WaitUntil([&] { return ReadSetting(L"ManuallyPositioned", dwManual); }));
  EXPECT_EQ(dwManual, 0u);
  ASSERT_TRUE(ReadSetting(L"PosX", dwPosX));
  EXPECT_EQ(static_cast<LONG>(dwPosX), rcDefault.left - 14 - TaskbarRect().left);
  EXPECT_TRUE(WaitUntil([&] { return BandRect() == rcDefault; }));
}

// ---------------------------------------------------------------------------

using MenuTest = CDockedBandTest;

TEST_F(MenuTest, LockedIsSavedAndStopsDragging) {
  ASSERT_TRUE(ChooseFromBandMenu(Band(), BandMenuCommand::Locked));
  DWORD dwLocked = 0;
  ASSERT_TRUE(WaitUntil([&] { return ReadSetting(L"Locked", dwLocked); }));
  EXPECT_EQ(dwLocked, 1u);

  const RECT rcBefore = BandRect();
  DragBandBy(-300);
  Sleep(300);
  EXPECT_EQ(BandRect(), rcBefore);
  DWORD dwManual = 1;
  ASSERT_TRUE(ReadSetting(L"ManuallyPositioned", dwManual));
  EXPECT_EQ(dwManual, 0u) << "no drop was saved";
}

TEST_F(MenuTest, AutostartWritesTheQuotedPathToTheRunKeyAndRemovesIt) {
  std::wstring value;
  ASSERT_FALSE(ReadRunValue(value));
  ASSERT_TRUE(ChooseFromBandMenu(Band(), BandMenuCommand::Autostart));
  ASSERT_TRUE(WaitUntil([&] { return ReadRunValue(value); }));
  const std::wstring expected = L"\"" + DevRunProgramPath() + L"\"";
  EXPECT_EQ(_wcsicmp(value.c_str(), expected.c_str()), 0)
      << std::string(value.begin(), value.end());

  ASSERT_TRUE(ChooseFromBandMenu(Band(), BandMenuCommand::Autostart));
  EXPECT_TRUE(WaitUntil([&] { return !ReadRunValue(value); }));
}

TEST_F(MenuTest, CloseSavesThePlaceAndEndsTheProcessWithZero) {
  const LONG nRelative = BandRect().left - TaskbarRect().left;
  DWORD dwValue = 0;
  ASSERT_FALSE(ReadSetting(L"PosX", dwValue)) << "nothing saved before";
  ASSERT_TRUE(ChooseFromBandMenu(Band(), BandMenuCommand::Close));
  EXPECT_EQ(BandProcess().WaitForExit(kE2eTimeoutMs), 0u);
  ASSERT_TRUE(ReadSetting(L"PosX", dwValue));
  EXPECT_EQ(static_cast<LONG>(dwValue), nRelative);
  ASSERT_TRUE(ReadSetting(L"ManuallyPositioned", dwValue));
  EXPECT_EQ(dwValue, 0u);
  ASSERT_TRUE(ReadSetting(L"Locked", dwValue));
  EXPECT_EQ(dwValue, 0u);
  EXPECT_TRUE(WaitUntil([&] { return FindDockedBand(Taskbar()) == nullptr; }));
}

// ---------------------------------------------------------------------------

using RestartTest = CDockedBandTest;

TEST_F(RestartTest, TheBandComesBackInTheNewTaskbarAtItsSavedPlaceAndKeepsPolling) {
  DragBandBy(-500);
  DWORD dwManual = 0;
  ASSERT_TRUE(WaitUntil([&] { return ReadSetting(L"ManuallyPositioned", dwManual) && dwManual; }));
  const LONG nRelative = BandRect().left - TaskbarRect().left;
  HWND hOldTaskbar = Taskbar();

  ASSERT_TRUE(SendTaskbarCommand(DevTaskbarCommand::Restart, 500));
  ASSERT_TRUE(FollowRestartedTaskbar());
  EXPECT_NE(Taskbar(), hOldTaskbar);
  EXPECT_FALSE(IsWindow(hOldTaskbar));
  EXPECT_TRUE(BandProcess().IsRunning());
  EXPECT_EQ(GetAncestor(Band(), GA_PARENT), Taskbar());
  EXPECT_EQ(BandRect().left - TaskbarRect().left, nRelative);
  EXPECT_TRUE(WaitUntil([&] { return ShowsTracks(CaptureBand()); }));

  CTestPublisher publisher;
  publisher.Publish(Record(7, 500000, 1000000, 1000, 4000));
  EXPECT_TRUE(WaitUntil([&] {
    const ScreenImage band = CaptureBand();
    return std::abs(RunLength(band, LowerTrackRow(band), kDownColor) - 75 * 0.5) < 1.0;
  })) << "still polling";
}

// ---------------------------------------------------------------------------

using HandPlacedTest = CDockedBandTest;

// Placed by hand 500 pixels left of its default place; then the taskbar grows
// to 64 pixels, and twice starts further right while its notification area
// stays where it is on the screen.
TEST_F(HandPlacedTest, KeepsItsPlaceOnAChangedTaskbarAndGoesHomeWhenItNoLongerFits) {
  const RECT rcDefault = BandRect();
  DragBandBy(-500);
  DWORD dwManual = 0;
  ASSERT_TRUE(WaitUntil([&] { return ReadSetting(L"ManuallyPositioned", dwManual) && dwManual; }));
  ASSERT_EQ(BandRect(), Shifted(rcDefault, -500));
  const LONG nPosX = BandRect().left - TaskbarRect().left;
  ASSERT_EQ(nPosX, 1100);

  ASSERT_TRUE(SendTaskbarCommand(DevTaskbarCommand::SetHeight, 64));
  ASSERT_EQ(TaskbarRect().bottom - TaskbarRect().top, 64);
  EXPECT_TRUE(WaitUntil([&] {
    return BandRect() == RECT{1100, TaskbarRect().top + 5, 1195, TaskbarRect().bottom - 5};
  }));
  EXPECT_TRUE(WaitUntil([&] {
    const ScreenImage band = CaptureBand();
    return band.m_nHeight == 54 && ShowsTracks(band);
  })) << "drawn at the new height at its own place";

  // 300 pixels shorter on the left: the band keeps its place in the taskbar,
  // and so moves with it on the screen. Nothing is broadcast; a tick sees it.
  const RECT rcBefore = BandRect();
  ASSERT_TRUE(SendTaskbarCommand(DevTaskbarCommand::MoveTaskbarLeft, 300));
  ASSERT_EQ(TaskbarRect().left, 300);
  EXPECT_TRUE(WaitUntil([&] { return BandRect() == Shifted(rcBefore, 300); }));
  EXPECT_TRUE(WaitUntil([&] { return ShowsTracks(CaptureBand()); }));
  // The app buttons, centred in the shorter bar, are where the band was.
  EXPECT_TRUE(WaitUntil([&] { return ShowsNoBand(rcBefore); })) << "nothing left behind";

  // A drag now is measured in the taskbar as it is.
  DragBandBy(-100);
  DWORD dwPosX = 0;
  EXPECT_TRUE(WaitUntil([&] {
    return ReadSetting(L"PosX", dwPosX) && static_cast<LONG>(dwPosX) == 1000 &&
           BandRect().left - TaskbarRect().left == 1000;
  }));

  // 400 more: the notification area now starts 1000 pixels into the taskbar,
  // where the band would reach 1095. It goes to its default place once told
  // of the new work area, as Explorer tells every window. (A tick may see the
  // shorter taskbar first, in the moment this one has no notification area.)
  const RECT rcHandPlaced = BandRect();
  ASSERT_TRUE(SendTaskbarCommand(DevTaskbarCommand::MoveTaskbarLeft, 700));
  ASSERT_EQ(NotifyLeft() - TaskbarRect().left, 1000);
  DWORD_PTR nResult = 0;
  ASSERT_NE(SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0,
                                SMTO_ABORTIFHUNG, kE2eTimeoutMs, &nResult),
            0);
  EXPECT_TRUE(WaitUntil([&] { return BandRect() == DefaultBandRect(); }));
  EXPECT_EQ(BandRect(), (RECT{1600, TaskbarRect().top + 5, 1695, TaskbarRect().bottom - 5}));
  EXPECT_TRUE(WaitUntil([&] { return ShowsTracks(CaptureBand()); }));
  EXPECT_TRUE(WaitUntil([&] { return ShowsNoBand(rcHandPlaced); }));
  ASSERT_TRUE(ReadSetting(L"PosX", dwPosX));
  EXPECT_EQ(dwPosX, 1000u) << "the saved place is left as it was";

  // From here it follows the notification area like any band at its default place.
  ASSERT_TRUE(SendTaskbarCommand(DevTaskbarCommand::MoveNotifyArea, 1500));
  EXPECT_TRUE(WaitUntil([&] { return BandRect().left == 1400; }));
}

// ---------------------------------------------------------------------------

using RecoveryTest = CDockedBandTest;

// The stand-in's device goes (as in a driver update); the next frame meets
// it. Timed from the record that makes that frame to the record on the screen.
TEST_F(RecoveryTest, AfterALostDeviceTheBandIsDrawnAgainWithinASecondOrSo) {
  CTestPublisher publisher;
  ASSERT_TRUE(publisher.IsOpen());
  publisher.Publish(QuarterRecord(1));
  ASSERT_TRUE(WaitUntil([&] { return ShowsQuarterRecord(CaptureBand(), 1); }));
  for (std::uint64_t n = 2; n <= 4; ++n) {
    ASSERT_TRUE(LoseBandDevice(Band())) << "the stand-in's event is missing";
    const ULONGLONG nStart = GetTickCount64();
    publisher.Publish(QuarterRecord(n));
    EXPECT_TRUE(WaitUntil([&] { return ShowsQuarterRecord(CaptureBand(), n); }))
        << "never drawn again after loss " << n - 1;
    std::printf("[ device loss ] %llu: the band drawn again %llu ms after the frame that met it\n",
                static_cast<unsigned long long>(n - 1),
                static_cast<unsigned long long>(GetTickCount64() - nStart));
    EXPECT_TRUE(ShowsTracks(CaptureBand()));
  }
  EXPECT_EQ(GetAncestor(Band(), GA_PARENT), Taskbar()) << "the same window, still docked";
  EXPECT_TRUE(BandProcess().IsRunning());
}

// The device goes while the machine sleeps, and no new figures come to make a
// frame: only the frame that the resume asks for finds the loss.
TEST_F(RecoveryTest, ADeviceLostDuringSleepIsFoundOnResumeAndTheBandDrawnAgain) {
  CTestPublisher publisher;
  for (std::uint64_t n = 1; n <= 4; ++n) {
    publisher.Publish(QuarterRecord(n));
    ASSERT_TRUE(WaitUntil([&] { return ShowsQuarterRecord(CaptureBand(), n); }));
  }
  FrameImage frame;
  ASSERT_TRUE(ReadWindowFrame(Band(), frame));
  const std::uint64_t nLastFrame = frame.m_nSequence;

  ASSERT_TRUE(BroadcastPower(PBT_APMSUSPEND));
  ASSERT_TRUE(LoseBandDevice(Band()));
  Sleep(500);
  ASSERT_TRUE(ReadWindowFrame(Band(), frame));
  ASSERT_EQ(frame.m_nSequence, nLastFrame) << "something drew while asleep";

  ASSERT_TRUE(BroadcastPower(PBT_APMRESUMEAUTOMATIC));
  // A frame presented after the loss can only be the new surface's.
  EXPECT_TRUE(
      WaitUntil([&] { return ReadWindowFrame(Band(), frame) && frame.m_nSequence != nLastFrame; }));
  EXPECT_TRUE(WaitUntil([&] { return ShowsQuarterRecord(CaptureBand(), 4); }));
  publisher.Publish(QuarterRecord(5));
  EXPECT_TRUE(WaitUntil([&] { return ShowsQuarterRecord(CaptureBand(), 5); })) << "polling";
}

// ---------------------------------------------------------------------------

using PowerTest = CDockedBandTest;

// Each cycle: to sleep and back, locked and unlocked, the display off and on,
// the remote-desktop session gone and back, the console back; then new
// figures, which must reach the screen. Measured from outside over 40 cycles
// with the process meter.
TEST_F(PowerTest, SleepSessionAndDisplayCyclesKeepTheFiguresCurrentAndNothingGrows) {
  // Wine's Direct2D keeps a few hundred bytes for each rectangle or geometry
  // it fills (see the long run below): a frame may cost up to this much.
  constexpr SIZE_T kWineBytesPerFrame = 2048;
  constexpr int kWarmUp = 5;
  constexpr int kCycles = 40;
  HWND hWatch = FindBandWatch(Band());
  ASSERT_NE(hWatch, nullptr);
  CTestPublisher publisher;
  ASSERT_TRUE(publisher.IsOpen());
  std::uint64_t nRecord = 0;
  auto cycle = [&] {
    ASSERT_TRUE(BroadcastPower(PBT_APMSUSPEND));
    ASSERT_TRUE(BroadcastPower(PBT_APMRESUMESUSPEND));
    ASSERT_TRUE(BroadcastPower(PBT_APMRESUMEAUTOMATIC));
    ASSERT_TRUE(SendSessionChange(hWatch, WTS_SESSION_LOCK));
    ASSERT_TRUE(BroadcastPower(PBT_POWERSETTINGCHANGE));  // the display off
    ASSERT_TRUE(BroadcastPower(PBT_POWERSETTINGCHANGE));  // and on
    ASSERT_TRUE(SendSessionChange(hWatch, WTS_SESSION_UNLOCK));
    ASSERT_TRUE(SendSessionChange(hWatch, WTS_REMOTE_DISCONNECT));
    ASSERT_TRUE(SendSessionChange(hWatch, WTS_REMOTE_CONNECT));
    ASSERT_TRUE(SendSessionChange(hWatch, WTS_CONSOLE_CONNECT));
    ++nRecord;
    publisher.Publish(QuarterRecord(nRecord));
    ASSERT_TRUE(WaitUntil([&] { return ShowsQuarterRecord(CaptureBand(), nRecord); }))
        << "cycle " << nRecord << ": the new figures never reached the screen";
  };
  for (int i = 0; i < kWarmUp; ++i) {
    ASSERT_NO_FATAL_FAILURE(cycle());
  }
  FrameImage frame;
  ASSERT_TRUE(ReadWindowFrame(Band(), frame));
  const std::uint64_t nFirstFrame = frame.m_nSequence;
  const ProcessCounts before = TakeProcessCounts(BandProcess().Process());
  for (int i = 0; i < kCycles; ++i) {
    ASSERT_NO_FATAL_FAILURE(cycle());
  }
  const ProcessCounts after = TakeProcessCounts(BandProcess().Process());
  ASSERT_TRUE(ReadWindowFrame(Band(), frame));
  const auto nFrames = static_cast<SIZE_T>((frame.m_nSequence - nFirstFrame) / 2);
  std::printf(
      "[ sessions ] %d cycles, %zu frames: handles %lu -> %lu, windows %lu -> %lu, "
      "private %zu KiB -> %zu KiB, mapped %zu KiB -> %zu KiB\n",
      kCycles, nFrames, before.m_nHandles, after.m_nHandles, before.m_nUserObjects,
      after.m_nUserObjects, before.m_cbPrivate / 1024, after.m_cbPrivate / 1024,
      before.m_cbMapped / 1024, after.m_cbMapped / 1024);
  EXPECT_GE(nFrames, static_cast<SIZE_T>(kCycles) * 2) << "each resume draws a frame";
  EXPECT_GT(before.m_nHandles, 0u);
  EXPECT_LE(after.m_nHandles, before.m_nHandles);
  EXPECT_LE(after.m_nUserObjects, before.m_nUserObjects);
  EXPECT_LE(after.m_nGdiObjects, before.m_nGdiObjects);
  EXPECT_LE(after.m_cbMapped, before.m_cbMapped);
  EXPECT_LE(after.m_cbPrivate, before.m_cbPrivate + nFrames * kWineBytesPerFrame);
  EXPECT_EQ(BandRect(), DefaultBandRect());
  EXPECT_TRUE(BandProcess().IsRunning());
}

// ---------------------------------------------------------------------------

using LongRunTest = CDockedBandTest;

// Ten minutes of ticks in fast-forward: the timer's message posted from here
// 6000 times, the publisher's record changed before each one. Every 50th tick
// the test waits for the band to draw, so the band polls 6000 times and draws
// and presents over a hundred frames.
TEST_F(LongRunTest, TenMinutesOfTicksLeaveTheProcessesHandlesWindowsAndMemoryFlat) {
  constexpr int kWarmUp = 500;
  constexpr int kTicks = 6000;
  constexpr int kTicksPerFrame = 50;
  // Wine's Direct2D keeps a few hundred bytes for each rectangle or geometry
  // it fills (see the band's own long-run test, which draws the same calls
  // bare): a frame may cost up to this much; a poll nothing.
  constexpr SIZE_T kWineBytesPerFrame = 2048;
  CTestPublisher publisher;
  ASSERT_TRUE(publisher.IsOpen());
  FrameImage frame;
  std::uint64_t nLastFrame = 0;
  int nFrames = 0;
  auto tick = [&](int i) {
    const auto n = static_cast<std::int64_t>(i);
    publisher.Publish(
        Record(static_cast<std::uint64_t>(i), n % 5000 * 1000, 5000000, n % 300 * 100, 30000));
    PostMessageW(Band(), WM_TIMER, 1, 0);
    if (i % kTicksPerFrame != 0) {
      return;
    }
    ASSERT_TRUE(WaitUntil(
        [&] { return ReadWindowFrame(Band(), frame) && frame.m_nSequence != nLastFrame; }));
    // Each frame bumps the sequence by two; one may have come in between.
    nFrames += static_cast<int>(frame.m_nSequence - nLastFrame) / 2;
    nLastFrame = frame.m_nSequence;
  };
  for (int i = 1; i <= kWarmUp; ++i) {
    ASSERT_NO_FATAL_FAILURE(tick(i));
  }
  const ProcessCounts before = TakeProcessCounts(BandProcess().Process());
  nFrames = 0;
  for (int i = 1; i <= kTicks; ++i) {
    ASSERT_NO_FATAL_FAILURE(tick(kWarmUp + i));
  }
  const ProcessCounts after = TakeProcessCounts(BandProcess().Process());
  std::printf(
      "[ long run ] %d ticks, %d frames: handles %lu -> %lu, windows %lu -> %lu, "
      "private %zu KiB -> %zu KiB, mapped %zu KiB -> %zu KiB\n",
      kTicks, nFrames, before.m_nHandles, after.m_nHandles, before.m_nUserObjects,
      after.m_nUserObjects, before.m_cbPrivate / 1024, after.m_cbPrivate / 1024,
      before.m_cbMapped / 1024, after.m_cbMapped / 1024);
  EXPECT_GE(nFrames, kTicks / kTicksPerFrame);
  EXPECT_GT(before.m_nHandles, 0u);
  EXPECT_GT(before.m_nUserObjects, 1u) << "the band and its watch window at least";
  EXPECT_GT(before.m_cbPrivate, 0u);
  EXPECT_LE(after.m_nHandles, before.m_nHandles);
  EXPECT_LE(after.m_nUserObjects, before.m_nUserObjects);
  EXPECT_LE(after.m_nGdiObjects, before.m_nGdiObjects);
  EXPECT_LE(after.m_cbMapped, before.m_cbMapped);
  EXPECT_LE(after.m_cbPrivate,
            before.m_cbPrivate + static_cast<SIZE_T>(nFrames) * kWineBytesPerFrame);
  EXPECT_TRUE(BandProcess().IsRunning());
}

}  // namespace
