// The band over a long run: 100,000 ticks against a publisher that keeps
// changing its record must leave handles, window objects and memory flat.
// What a tick costs in time is measured by make bench.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <vector>

#include "support/BandFixture.h"
#include "support/ReferenceFrame.h"

namespace {

// Record number n: both rates and the unit and line flags move with n.
SharedTrafficRecord RecordNumber(std::uint64_t n) {
  SharedTrafficRecord record = MakeTrafficRecord(n);
  record.RateDown = static_cast<std::int64_t>(n % 5000) * 1000;
  record.RateUp = static_cast<std::int64_t>(n % 300) * 100;
  record.ByteUnits = n % 2;
  record.DownOnLower = (n / 7) % 2;
  return record;
}

class BandLongRunTest : public CBandTest {
 protected:
  void SetUp() override {
    Dock();
    // The real timer would add ticks of its own; these tests drive them.
    KillTimer(Band(), ID_BAND_TIMER);
  }
};

// The counts below must be able to see a leak, or their flatness proves
// nothing: in this process, and through a handle such as the end-to-end
// tests hold on the real Nimbrel.exe, measured from outside.
TEST(ProcessCountsTest, SeeLeakedHandlesWindowsMemoryAndThreads) {
  const CUniqueHandle self(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION | PROCESS_DUP_HANDLE, FALSE,
                  GetCurrentProcessId()));
  ASSERT_TRUE(self);
  for (HANDLE hProcess : {GetCurrentProcess(), self.Get()}) {
    const ProcessCounts before = TakeProcessCounts(hProcess);
    std::vector<CUniqueHandle> handles;
    for (int i = 0; i < 50; ++i) {
      handles.emplace_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    }
    const CUniqueWindow window(CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 1, 1, nullptr,
                                               nullptr, nullptr, nullptr));
    void* pMemory =
        VirtualAlloc(nullptr, 4 * 1024 * 1024, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    const CUniqueHandle section(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1024 * 1024, nullptr));
    TUniqueWritableView<void> view(MapViewOfFile(section.Get(), FILE_MAP_WRITE, 0, 0, 0));
    const CUniqueHandle hRelease(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const CUniqueHandle hThread(CreateThread(
        nullptr, 0,
        [](void* hEvent) -> DWORD {
          return WaitForSingleObject(static_cast<HANDLE>(hEvent), 10000);
        },
        hRelease.Get(), 0, nullptr));
    const ProcessCounts after = TakeProcessCounts(hProcess);
    SetEvent(hRelease.Get());
    WaitForSingleObject(hThread.Get(), 10000);
    view.Reset();
    VirtualFree(pMemory, 0, MEM_RELEASE);
    EXPECT_GE(after.m_nHandles, before.m_nHandles + 50);
    EXPECT_GE(after.m_nUserObjects, before.m_nUserObjects + 1);
    EXPECT_GE(after.m_cbPrivate, before.m_cbPrivate + 4 * 1024 * 1024);
    EXPECT_GE(after.m_cbMapped, before.m_cbMapped + 1024 * 1024);
    EXPECT_GE(after.m_nThreads, before.m_nThreads + 1);
    EXPECT_GT(before.m_nThreads, 0u);
  }
}

TEST_F(BandLongRunTest, AHundredThousandTicksLeaveHandlesWindowObjectsAndMemoryFlat) {
  constexpr int kTicks = 100000;
  CTestPublisher publisher;
  ASSERT_TRUE(publisher.IsOpen());
  // Warm up, so that first-use allocations are not counted as growth.
  for (int i = 1; i <= 2000; ++i) {
    publisher.Publish(RecordNumber(static_cast<std::uint64_t>(i)));
    Tick();
  }
  const ProcessCounts before = TakeProcessCounts();
  int nTaken = 0;
  int nInvalidated = 0;
  for (int i = 1; i <= kTicks; ++i) {
    const auto nSequence = static_cast<std::uint64_t>(10000 + i);
    publisher.Publish(RecordNumber(nSequence));
    Tick();
    nTaken += Peer().m_traffic.m_nLastSequence == nSequence ? 1 : 0;
    if (GetUpdateRect(Band(), nullptr, FALSE)) {
      ++nInvalidated;
      ValidateRect(Band(), nullptr);
    }
  }
  const ProcessCounts after = TakeProcessCounts();
  EXPECT_EQ(nTaken, kTicks);
  EXPECT_EQ(nInvalidated, kTicks);
  EXPECT_GT(before.m_nHandles, 0u);
  EXPECT_GT(before.m_nUserObjects, 0u);
  EXPECT_GT(before.m_cbPrivate, 0u);
  EXPECT_LE(after.m_nHandles, before.m_nHandles);
  EXPECT_LE(after.m_nGdiObjects, before.m_nGdiObjects);
  EXPECT_LE(after.m_nUserObjects, before.m_nUserObjects);
  EXPECT_LE(after.m_cbPrivate, before.m_cbPrivate + 64 * 1024);
  std::printf(
      "[ long run ] %d ticks: handles %lu -> %lu, GDI %lu -> %lu, USER %lu -> %lu, "
      "private %zu KiB -> %zu KiB\n",
      kTicks, before.m_nHandles, after.m_nHandles, before.m_nGdiObjects, after.m_nGdiObjects,
      before.m_nUserObjects, after.m_nUserObjects, before.m_cbPrivate / 1024,
      after.m_cbPrivate / 1024);
}

// Wine's Direct2D itself grows a little with each filled rectangle or
// geometry (a few hundred bytes, measured here with the reference frame). The
// band's frames may add nothing of their own to that: the same number of
// frames of the same calls, made plainly and made by the band, grow memory
// alike.
TEST_F(BandLongRunTest, TheBandsFramesGrowMemoryNoMoreThanTheSameBareCalls) {
  constexpr int kFrames = 2000;
  CTestPublisher publisher;
  auto drawBandFrame = [&](int i) {
    publisher.Publish(RecordNumber(static_cast<std::uint64_t>(i)));
    Tick();
    UpdateWindow(Band());
  };
  for (int i = 1; i <= 1000; ++i) {
    drawBandFrame(i);
    DrawReferenceFrame(Peer().m_renderer, i);
  }
  const int nPresentsBefore = m_doubles.Log().m_nPresents;
  const SIZE_T cbStart = TakeProcessCounts().m_cbPrivate;
  for (int i = 0; i < kFrames; ++i) {
    DrawReferenceFrame(Peer().m_renderer, i);
  }
  const SIZE_T cbAfterBare = TakeProcessCounts().m_cbPrivate;
  for (int i = 1; i <= kFrames; ++i) {
    drawBandFrame(10000 + i);
  }
  const SIZE_T cbAfterBand = TakeProcessCounts().m_cbPrivate;
  EXPECT_EQ(m_doubles.Log().m_nPresents - nPresentsBefore, 2 * kFrames);
  const auto nBareGrowth = static_cast<long long>(cbAfterBare) - static_cast<long long>(cbStart);
  const auto nBandGrowth =
      static_cast<long long>(cbAfterBand) - static_cast<long long>(cbAfterBare);
  std::printf("[ frames ] %d bare frames: %+lld KiB, %d band frames: %+lld KiB\n", kFrames,
              nBareGrowth / 1024, kFrames, nBandGrowth / 1024);
  EXPECT_LE(nBandGrowth, nBareGrowth + nBareGrowth / 2 + 128 * 1024);
  EXPECT_EQ(m_doubles.Log().LiveObjects(), 4) << "swap chain, composition device, target, visual";
}

TEST_F(BandLongRunTest, WhileTheSectionStaysAbsentNoTickAsksForARepaint) {
  ValidateRect(Band(), nullptr);
  for (int i = 0; i < 10000; ++i) {
    Tick();
    if (GetUpdateRect(Band(), nullptr, FALSE)) {
      FAIL() << "repaint requested at tick " << i;
    }
  }
}

}  // namespace
