// The band through what a long run brings: a graphics device that goes away,
// sleep and resume, locked and reconnected sessions, the display going off
// and on. Under Wine, docked in the test taskbar, its surface on doubles.

#include <gtest/gtest.h>
#include <windows.h>
#include <wtsapi32.h>

#include <optional>
#include <string>
#include <vector>

#include "support/BandFixture.h"

namespace {

using Lines = std::vector<std::wstring>;

constexpr std::uint32_t kTrackGrey = 0xFF404040;    // (0.25, 0.25, 0.25), opaque
constexpr std::uint32_t kLowerColour = 0xFF4E9AE6;  // the test record's download

bool HasUpdateRegion(HWND hWnd) { return GetUpdateRect(hWnd, nullptr, FALSE) != FALSE; }

std::wstring LossLine(HRESULT hr) {
  wchar_t szCode[16] = {};
  swprintf(szCode, 16, L"%08X", static_cast<unsigned>(hr));
  return L"Surface: device lost (0x" + std::wstring(szCode) + L"), building it again\n";
}

class BandRecoveryTest : public CBandTest {
 protected:
  void SetUp() override {
    Dock();
    // These tests count ticks; the real timer would add its own.
    KillTimer(Band(), ID_BAND_TIMER);
    // Whatever docking left to paint is painted now, not in the middle of a test.
    UpdateWindow(Band());
    m_debug.Clear();
  }

  // One frame, as a repaint draws it.
  void DrawFrame() noexcept {
    InvalidateRect(Band(), nullptr, FALSE);
    UpdateWindow(Band());
  }

  // A frame whose Present1 or EndDraw answers hr.
  void DrawFrameFailingWith(bool bEndDraw, HRESULT hr) {
    std::optional<CEndDrawFailure> endDraw;
    if (bEndDraw) {
      endDraw.emplace(Peer().m_renderer.D2DContext(), hr);
      ASSERT_TRUE(endDraw->IsActive());
    } else {
      m_doubles.Fail().m_hrPresent = hr;
    }
    DrawFrame();
    m_doubles.Fail().m_hrPresent = S_OK;
  }

  // What the band's surface shows at (x, y) now, read back from its buffer;
  // 0 where there is no surface or no such pixel.
  [[nodiscard]] std::uint32_t PixelAt(UINT x, UINT y) const {
    PixelImage image;
    if (!ReadBackPixels(Peer().m_renderer, image) || x >= image.m_nWidth || y >= image.m_nHeight) {
      return 0;
    }
    return image.At(x, y);
  }

  void ExpectSurfaceGone() const {
    EXPECT_FALSE(Peer().m_renderer.IsInitialized());
    EXPECT_EQ(Peer().m_renderer.CurrentSlots().m_pD3DDevice, nullptr);
    EXPECT_EQ(Peer().m_renderer.CurrentSlots().m_pSwapChain, nullptr);
    EXPECT_EQ(m_doubles.Log().LiveObjects(), 0) << "swap chain, composition device, target, visual";
  }

  void ExpectSurfaceBack() const {
    EXPECT_TRUE(Peer().m_renderer.IsInitialized());
    EXPECT_EQ(Peer().m_renderer.DeviceLoss(), S_OK);
    EXPECT_EQ(Peer().m_renderer.HostWindow(), Band());
    EXPECT_EQ(m_doubles.Log().m_hTargetWnd, Band());
    EXPECT_EQ(m_doubles.Log().LiveObjects(), 4);
  }

  [[nodiscard]] int DeviceCreations() const noexcept {
    return static_cast<int>(m_doubles.Log().m_driverTypes.size());
  }
};

struct LossCase {
  const char* name;
  bool bEndDraw;
  HRESULT hr;
};

class BandDeviceLossTest : public BandRecoveryTest, public testing::WithParamInterface<LossCase> {};

TEST_P(BandDeviceLossTest, TheFrameLetsTheSurfaceGoAndTheNextTickBuildsItAgainWithOneLine) {
  const LossCase& c = GetParam();
  CTestPublisher publisher;
  ASSERT_TRUE(publisher.IsOpen());
  DrawFrameFailingWith(c.bEndDraw, c.hr);
  ExpectSurfaceGone();
  EXPECT_EQ(Peer().m_renderer.DeviceLoss(), c.hr);
  EXPECT_TRUE(Peer().m_bRendererReady);
  EXPECT_TRUE(DebugLines(L"Surface:").empty()) << "said by the tick that builds it";

  // New figures arrive while the surface is gone; the same tick takes them
  // and builds the surface again.
  publisher.Publish(MakeTrafficRecord(41));
  ValidateRect(Band(), nullptr);
  Tick();
  EXPECT_EQ(Peer().m_traffic.m_nLastSequence, 41u);
  ExpectSurfaceBack();
  EXPECT_EQ(Peer().m_renderer.Width(), 95);
  EXPECT_EQ(Peer().m_renderer.Height(), 38);
  EXPECT_EQ(DebugLines(L"Surface:"), Lines{LossLine(c.hr)});

  ASSERT_TRUE(HasUpdateRegion(Band())) << "the new surface gets its frame";
  const int nPresents = m_doubles.Log().m_nPresents;
  UpdateWindow(Band());
  EXPECT_EQ(m_doubles.Log().m_nPresents, nPresents + 1);
  EXPECT_EQ(PixelAt(60, 16), kTrackGrey) << "the upper track";
  EXPECT_EQ(PixelAt(20, 35), kLowerColour) << "the new record's download bar";

  Tick();
  EXPECT_EQ(DebugLines(L"Surface:").size(), 1u) << "one line for one loss";
}

INSTANTIATE_TEST_SUITE_P(
    Codes, BandDeviceLossTest,
    testing::Values(
        LossCase{"PresentRemoved", false, DXGI_ERROR_DEVICE_REMOVED},
        LossCase{"PresentReset", false, DXGI_ERROR_DEVICE_RESET},
        LossCase{"PresentRecreateTarget", false, static_cast<HRESULT>(D2DERR_RECREATE_TARGET)},
        LossCase{"EndDrawRemoved", true, DXGI_ERROR_DEVICE_REMOVED},
        LossCase{"EndDrawReset", true, DXGI_ERROR_DEVICE_RESET},
        LossCase{"EndDrawRecreateTarget", true, static_cast<HRESULT>(D2DERR_RECREATE_TARGET)}),
    [](const testing::TestParamInfo<LossCase>& info) { return std::string(info.param.name); });

using BandSurfaceTest = BandRecoveryTest;

TEST_F(BandSurfaceTest, AFrameThatFailsOtherwiseKeepsTheSurfaceAndBuildsNothing) {
  DrawFrameFailingWith(false, E_FAIL);
  EXPECT_TRUE(Peer().m_renderer.IsInitialized());
  const int nCreations = DeviceCreations();
  Tick();
  EXPECT_EQ(DeviceCreations(), nCreations);
  EXPECT_TRUE(DebugLines(L"Surface:").empty());
}

// The layout's resize meets the lost device: the surface comes back at the
// band's new size.
TEST_F(BandSurfaceTest, AResizeThatMeetsALostDeviceIsBuiltAgainAtTheBandsNewSize) {
  SetWindowPos(m_taskbar->Handle(), nullptr, 0, 1020, 1920, 60, SWP_NOZORDER | SWP_NOACTIVATE);
  m_doubles.Fail().m_hrResizeBuffers = DXGI_ERROR_DEVICE_REMOVED;
  SendMessageW(Band(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
  m_doubles.Fail().m_hrResizeBuffers = S_OK;
  ExpectSurfaceGone();
  Tick();
  ExpectSurfaceBack();
  EXPECT_EQ(Peer().m_renderer.Width(), 95);
  EXPECT_EQ(Peer().m_renderer.Height(), 50);
}

TEST_F(BandSurfaceTest, EachLossIsBuiltAgainDrawnAndSaidOnce) {
  for (int i = 0; i < 3; ++i) {
    DrawFrameFailingWith(false, DXGI_ERROR_DEVICE_RESET);
    ExpectSurfaceGone();
    ValidateRect(Band(), nullptr);
    Tick();
    ExpectSurfaceBack();
    EXPECT_TRUE(HasUpdateRegion(Band())) << "no new figures, yet a frame for the new surface";
    UpdateWindow(Band());
    EXPECT_EQ(PixelAt(60, 16), kTrackGrey);
  }
  EXPECT_EQ(DebugLines(L"Surface:"), Lines(3, LossLine(DXGI_ERROR_DEVICE_RESET)));
  EXPECT_EQ(m_doubles.Log().m_nSwapChainCreations, 4);
}

// No device at all for a while (the driver is being replaced): tried on the
// first tick, then after waits that double up to 30 s; nothing half-built is
// held meanwhile, and the band goes on polling.
TEST_F(BandSurfaceTest, ADeviceThatCannotBeHadIsTriedWithAGrowingWaitNeverInATightLoop) {
  CTestPublisher publisher;
  DrawFrameFailingWith(false, DXGI_ERROR_DEVICE_REMOVED);
  m_doubles.Fail().m_hrHardwareDevice = DXGI_ERROR_UNSUPPORTED;
  m_doubles.Fail().m_hrWarpDevice = DXGI_ERROR_UNSUPPORTED;

  std::vector<int> triedTicks;
  for (int nTick = 1; nTick <= 1200; ++nTick) {
    publisher.Publish(MakeTrafficRecord(static_cast<std::uint64_t>(1000 + nTick)));
    const int nBefore = DeviceCreations();
    Tick();
    if (DeviceCreations() != nBefore) {
      triedTicks.push_back(nTick);
    }
    ASSERT_EQ(Peer().m_traffic.m_nLastSequence, static_cast<std::uint64_t>(1000 + nTick))
        << "still polling";
    ASSERT_EQ(m_doubles.Log().LiveObjects(), 0) << "tick " << nTick;
    ASSERT_EQ(Peer().m_renderer.D2DFactory(), nullptr) << "tick " << nTick;
  }
  EXPECT_EQ(triedTicks, (std::vector<int>{1, 3, 7, 15, 31, 63, 127, 255, 511, 811, 1111}));
  EXPECT_EQ(DebugLines(L"Surface:"),
            (Lines{LossLine(DXGI_ERROR_DEVICE_REMOVED),
                   L"Surface: cannot be built yet, trying again with waits growing to 30 s\n"}));

  // The device is back: at the latest one full wait later, the surface is.
  m_doubles.Fail() = RendererFailures{};
  int nTicks = 0;
  while (!Peer().m_renderer.IsInitialized() && nTicks < kMaxRebuildWaitTicks) {
    Tick();
    ++nTicks;
  }
  ExpectSurfaceBack();
  const Lines lines = DebugLines(L"Surface:");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines.back(), L"Surface: built again after 11 failed tries\n");
  m_debug.Clear();
  DrawFrameFailingWith(false, DXGI_ERROR_DEVICE_REMOVED);
  const int nBefore = DeviceCreations();
  Tick();
  EXPECT_GT(DeviceCreations(), nBefore) << "a new loss is tried on the next tick again";
}

TEST_F(BandSurfaceTest, LosingAndBuildingTheSurfaceAgainLeavesNoHandleOrWindowObjectBehind) {
  auto cycle = [&] {
    DrawFrameFailingWith(false, DXGI_ERROR_DEVICE_REMOVED);
    Tick();
    UpdateWindow(Band());
  };
  for (int i = 0; i < 3; ++i) {
    cycle();
  }
  const ProcessCounts before = TakeProcessCounts();
  for (int i = 0; i < 20; ++i) {
    cycle();
  }
  const ProcessCounts after = TakeProcessCounts();
  ExpectSurfaceBack();
  EXPECT_LE(after.m_nHandles, before.m_nHandles);
  EXPECT_LE(after.m_nGdiObjects, before.m_nGdiObjects);
  EXPECT_LE(after.m_nUserObjects, before.m_nUserObjects);
  EXPECT_LE(after.m_cbMapped, before.m_cbMapped);
}

TEST_F(BandSurfaceTest, ALostSurfaceIsNotBuiltAgainAfterTheBandClosed) {
  DrawFrameFailingWith(false, DXGI_ERROR_DEVICE_REMOVED);
  SendMessageW(Band(), WM_CLOSE, 0, 0);
  int nCode = -1;
  ASSERT_TRUE(TakeQuitMessage(nCode));
  EXPECT_EQ(m_doubles.Log().LiveObjects(), 0);
}

// --- Sleep, sessions, the display ------------------------------------------

struct SystemEvent {
  const char* name;
  UINT message;
  WPARAM wParam;
  bool bFreshFrame;
};

// What the system tells top-level windows (the watch window hears it for the
// band). The power setting's data pointer is not for the band to read: any
// process can send the message, so a bogus one is handed in.
constexpr SystemEvent kSystemEvents[] = {
    {"resume (automatic)", WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, true},
    {"resume (by the user)", WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, true},
    {"the display on or off", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, true},
    {"unlocked", WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, true},
    {"back on the console", WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, true},
    {"remote desktop connected", WM_WTSSESSION_CHANGE, WTS_REMOTE_CONNECT, true},
    {"going to sleep", WM_POWERBROADCAST, PBT_APMSUSPEND, false},
    {"locked", WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, false},
    {"console disconnected", WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, false},
    {"remote desktop disconnected", WM_WTSSESSION_CHANGE, WTS_REMOTE_DISCONNECT, false},
};
constexpr LPARAM kBogusPointer = 0x10;

using BandSessionTest = BandRecoveryTest;

TEST_F(BandSessionTest, ComingBackFromSleepOrAnotherSessionDrawsAFreshFrameGoingAwayDoesNothing) {
  HWND hWatch = Peer().m_wndWatch.m_hWnd;
  ASSERT_NE(hWatch, nullptr);
  CTestPublisher publisher;
  for (const SystemEvent& e : kSystemEvents) {
    ValidateRect(Band(), nullptr);
    const RECT rcBefore = BandRect();
    const LRESULT nResult = SendMessageW(hWatch, e.message, e.wParam, kBogusPointer);
    if (e.message == WM_POWERBROADCAST) {
      EXPECT_EQ(nResult, TRUE) << e.name;
    }
    EXPECT_EQ(HasUpdateRegion(Band()), e.bFreshFrame) << e.name;
    EXPECT_EQ(BandRect(), rcBefore) << e.name;
    EXPECT_TRUE(IsWindowVisible(Band())) << e.name;
    UpdateWindow(Band());
    // Whatever came, the next tick takes new figures.
    const auto nSequence = static_cast<std::uint64_t>(&e - kSystemEvents + 100);
    publisher.Publish(MakeTrafficRecord(nSequence));
    Tick();
    EXPECT_EQ(Peer().m_traffic.m_nLastSequence, nSequence) << e.name;
  }
  EXPECT_TRUE(Peer().m_renderer.IsInitialized());
}

// The device went while the machine slept and nothing has been drawn since
// (no new figures: the publisher is gone too). Only the frame that resuming
// asks for finds the loss; the next tick builds the surface again.
TEST_F(BandSessionTest, ADeviceLostDuringSleepIsFoundOnResumeAndBuiltAgainOnTheNextTick) {
  HWND hWatch = Peer().m_wndWatch.m_hWnd;
  SendMessageW(hWatch, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
  m_doubles.Fail().m_hrPresent = DXGI_ERROR_DEVICE_REMOVED;
  for (int i = 0; i < 5; ++i) {
    Tick();
    UpdateWindow(Band());
  }
  ASSERT_TRUE(Peer().m_renderer.IsInitialized()) << "no frame yet: nothing has seen the loss";

  SendMessageW(hWatch, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
  UpdateWindow(Band());
  m_doubles.Fail().m_hrPresent = S_OK;
  ExpectSurfaceGone();
  Tick();
  ExpectSurfaceBack();
  UpdateWindow(Band());
  EXPECT_EQ(PixelAt(60, 16), kTrackGrey);
}

// The taskbar changed while the session was away (another screen, another
// scale) and no broadcast has told the band yet: the unlock does.
TEST_F(BandSessionTest, UnlockingFollowsATaskbarThatChangedMeanwhile) {
  SetWindowPos(m_taskbar->Handle(), nullptr, 0, 1016, 1920, 64, SWP_NOZORDER | SWP_NOACTIVATE);
  m_rcTaskbar = RECT{0, 1016, 1920, 1080};
  SendMessageW(Peer().m_wndWatch.m_hWnd, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 1);
  EXPECT_EQ(BandRect(), (RECT{1600, 5, 1695, 59}));
  EXPECT_EQ(Peer().m_renderer.Height(), 54);
}

// Windows sends session changes and the display's power state only to
// windows that asked for them.
struct Registrations {
  HWND hSession = nullptr;
  DWORD dwSessionFlags = 0;
  HWND hSessionEnded = nullptr;
  HANDLE hPowerRecipient = nullptr;
  GUID powerSetting{};
  DWORD dwPowerFlags = 0;
  HPOWERNOTIFY hPowerEnded = nullptr;
};
Registrations g_registrations;
const auto kFakePowerNotify = reinterpret_cast<HPOWERNOTIFY>(0x5A5A);

BOOL WINAPI RecordSessionRegistration(HWND hWnd, DWORD dwFlags) {
  g_registrations.hSession = hWnd;
  g_registrations.dwSessionFlags = dwFlags;
  return TRUE;
}
BOOL WINAPI RecordSessionUnregistration(HWND hWnd) {
  g_registrations.hSessionEnded = hWnd;
  return TRUE;
}
HPOWERNOTIFY WINAPI RecordPowerRegistration(HANDLE hRecipient, LPCGUID pGuid, DWORD dwFlags) {
  g_registrations.hPowerRecipient = hRecipient;
  g_registrations.powerSetting = *pGuid;
  g_registrations.dwPowerFlags = dwFlags;
  return kFakePowerNotify;
}
BOOL WINAPI RecordPowerUnregistration(HPOWERNOTIFY hNotify) {
  g_registrations.hPowerEnded = hNotify;
  return TRUE;
}

using BandRegistrationTest = CBandTest;

TEST_F(BandRegistrationTest, TheWatchAsksForSessionChangesAndTheDisplayStateAndEndsBothOnClose) {
  const CCallPatch session(L"wtsapi32.dll", "WTSRegisterSessionNotification",
                           reinterpret_cast<const void*>(&RecordSessionRegistration));
  const CCallPatch sessionEnd(L"wtsapi32.dll", "WTSUnRegisterSessionNotification",
                              reinterpret_cast<const void*>(&RecordSessionUnregistration));
  const CCallPatch power(L"user32.dll", "RegisterPowerSettingNotification",
                         reinterpret_cast<const void*>(&RecordPowerRegistration));
  const CCallPatch powerEnd(L"user32.dll", "UnregisterPowerSettingNotification",
                            reinterpret_cast<const void*>(&RecordPowerUnregistration));
  ASSERT_TRUE(session.IsActive() && sessionEnd.IsActive() && power.IsActive() &&
              powerEnd.IsActive());
  g_registrations = Registrations{};
  Dock();
  HWND hWatch = Peer().m_wndWatch.m_hWnd;
  ASSERT_NE(hWatch, nullptr);
  EXPECT_EQ(g_registrations.hSession, hWatch);
  EXPECT_EQ(g_registrations.dwSessionFlags, static_cast<DWORD>(NOTIFY_FOR_THIS_SESSION));
  EXPECT_EQ(g_registrations.hPowerRecipient, hWatch);
  // GUID_CONSOLE_DISPLAY_STATE
  constexpr GUID kConsoleDisplayState = {
      0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
  EXPECT_TRUE(IsEqualGUID(g_registrations.powerSetting, kConsoleDisplayState));
  EXPECT_EQ(g_registrations.dwPowerFlags, static_cast<DWORD>(DEVICE_NOTIFY_WINDOW_HANDLE));
  EXPECT_EQ(g_registrations.hSessionEnded, nullptr);

  SendMessageW(Band(), WM_CLOSE, 0, 0);
  EXPECT_EQ(g_registrations.hSessionEnded, hWatch) << "before the window went";
  EXPECT_EQ(g_registrations.hPowerEnded, kFakePowerNotify);
}

}  // namespace
