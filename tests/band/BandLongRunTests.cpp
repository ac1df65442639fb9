// The band over a long run: 100,000 ticks against a publisher that keeps
// changing its record must leave handles, window objects and memory flat.
// Also measures a tick against a bare loop of the same platform calls.

#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "RendererDoubles.h"
#include "TestBand.h"
#include "TestSupport.h"

namespace {

struct ProcessCounts {
  DWORD m_nHandles = 0;
  DWORD m_nGdiObjects = 0;
  DWORD m_nUserObjects = 0;
  SIZE_T m_cbPrivate = 0;
};

ProcessCounts TakeCounts() {
  ProcessCounts counts;
  GetProcessHandleCount(GetCurrentProcess(), &counts.m_nHandles);
  counts.m_nGdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  counts.m_nUserObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof(memory);
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                       sizeof(memory));
  counts.m_cbPrivate = memory.PrivateUsage;
  return counts;
}

SharedTrafficRecord RecordNumber(std::uint64_t n) {
  SharedTrafficRecord record{};
  record.Sequence = n;
  record.RateDown = static_cast<std::int64_t>(n % 5000) * 1000;
  record.RateUp = static_cast<std::int64_t>(n % 300) * 100;
  record.MaxDown = 5000000;
  record.MaxUp = 30000;
  record.ColorDown = 0x4E9AE6;
  record.ColorUp = 0x7EE444;
  record.ByteUnits = n % 2;
  record.DownOnLower = (n / 7) % 2;
  return record;
}

class BandLongRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_band.m_renderer.UsePlatform(&m_doubles.Platform());
    ASSERT_TRUE(m_band.Create(IDD_BAND, GetDesktopWindow()));
    // The real timer would add ticks of its own; these tests drive them.
    KillTimer(m_band.m_hWnd, ID_BAND_TIMER);
  }
  void TearDown() override {
    if (m_band.m_hWnd != nullptr) {
      ::DestroyWindow(m_band.m_hWnd);
    }
  }

  CRegistryOverride m_hkcu{HKEY_CURRENT_USER};
  CRecordingApp m_app;
  CTestTaskbar m_taskbar;
  CRendererDoubles m_doubles;
  CTestBand m_band;
};

TEST_F(BandLongRunTest, AHundredThousandTicksLeaveHandlesWindowObjectsAndMemoryFlat) {
  constexpr int kTicks = 100000;
  constexpr int kPaintEvery = 100;
  CTestPublisher publisher;
  ASSERT_TRUE(publisher.IsOpen());
  // Warm up, so that first-use allocations are not counted as growth.
  for (int i = 1; i <= 2000; ++i) {
    publisher.Publish(RecordNumber(static_cast<std::uint64_t>(i)));
    Tick(m_band);
    if (i % kPaintEvery == 0) {
      UpdateWindow(m_band.m_hWnd);
    }
  }
  const ProcessCounts before = TakeCounts();
  const int nPresentsBefore = m_doubles.Log().m_nPresents;
  int nTaken = 0;
  for (int i = 1; i <= kTicks; ++i) {
    const auto nSequence = static_cast<std::uint64_t>(10000 + i);
    publisher.Publish(RecordNumber(nSequence));
    Tick(m_band);
    nTaken += m_band.m_traffic.m_nLastSequence == nSequence ? 1 : 0;
    if (i % kPaintEvery == 0) {
      UpdateWindow(m_band.m_hWnd);
    }
  }
  const ProcessCounts after = TakeCounts();
  EXPECT_EQ(nTaken, kTicks);
  EXPECT_EQ(m_doubles.Log().m_nPresents - nPresentsBefore, kTicks / kPaintEvery);
  EXPECT_LE(after.m_nHandles, before.m_nHandles + 2);
  EXPECT_LE(after.m_nGdiObjects, before.m_nGdiObjects + 2);
  EXPECT_LE(after.m_nUserObjects, before.m_nUserObjects + 2);
  EXPECT_LE(after.m_cbPrivate, before.m_cbPrivate + 512 * 1024);
  std::printf("[ long run ] handles %lu -> %lu, GDI %lu -> %lu, USER %lu -> %lu, private %zu KiB -> %zu KiB\n",
              before.m_nHandles, after.m_nHandles, before.m_nGdiObjects, after.m_nGdiObjects,
              before.m_nUserObjects, after.m_nUserObjects, before.m_cbPrivate / 1024,
              after.m_cbPrivate / 1024);
}

TEST_F(BandLongRunTest, WhileTheSectionStaysAbsentNoTickAsksForARepaint) {
  ValidateRect(m_band.m_hWnd, nullptr);
  for (int i = 0; i < 10000; ++i) {
    Tick(m_band);
    if (GetUpdateRect(m_band.m_hWnd, nullptr, FALSE)) {
      FAIL() << "repaint requested at tick " << i;
    }
  }
}

// The same platform calls a tick makes, without the band around them.
void BareTick(HWND hWnd, std::uint64_t& nLastSequence) {
  HANDLE hMapping = OpenFileMappingW(FILE_MAP_READ, FALSE, kTrafficSectionName);
  if (hMapping != nullptr) {
    const auto* pView = static_cast<const SharedTrafficRecord*>(
        MapViewOfFile(hMapping, FILE_MAP_READ, 0, 0, sizeof(SharedTrafficRecord)));
    if (pView != nullptr) {
      if (pView->Sequence != 0 && pView->Sequence != nLastSequence) {
        nLastSequence = pView->Sequence;
        InvalidateRect(hWnd, nullptr, FALSE);
      }
      UnmapViewOfFile(pView);
    }
    CloseHandle(hMapping);
  }
  HWND hTaskbar = GetParent(hWnd);
  HWND hNotify = FindWindowExW(hTaskbar, nullptr, L"TrayNotifyWnd", nullptr);
  RECT rc{};
  if (hNotify != nullptr) {
    GetWindowRect(hNotify, &rc);
  }
  if (IsWindowVisible(hWnd)) {
    SetWindowPos(hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  }
}

TEST_F(BandLongRunTest, ATickCostsLittleMoreThanItsPlatformCalls) {
  constexpr int kRounds = 2000;
  CTestPublisher publisher;
  publisher.Publish(RecordNumber(1));
  std::uint64_t nLast = 0;
  using Clock = std::chrono::steady_clock;
  double fBestBand = 1e30;
  double fBestBare = 1e30;
  for (int pass = 0; pass < 3; ++pass) {
    auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
      Tick(m_band);
    }
    fBestBand = std::min(fBestBand, std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kRounds);
    start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
      BareTick(m_band.m_hWnd, nLast);
    }
    fBestBare = std::min(fBestBare, std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kRounds);
  }
  const double fRatio = fBestBand / fBestBare;
  std::printf("[ tick cost ] band tick %.2f us, bare platform calls %.2f us, ratio %.2f\n",
              fBestBand, fBestBare, fRatio);
  RecordProperty("TickMicroseconds", std::to_string(fBestBand));
  RecordProperty("BareMicroseconds", std::to_string(fBestBare));
  EXPECT_LT(fRatio, 2.0);
}

}  // namespace
