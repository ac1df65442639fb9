// The band over a long run: 100,000 ticks against a publisher that keeps
// changing its record must leave handles, window objects and memory flat.
// Also measures a tick against a bare loop of the same platform calls.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "BandWindowTest.h"

namespace {

struct ProcessCounts {
  DWORD m_nHandles = 0;
  DWORD m_nGdiObjects = 0;
  DWORD m_nUserObjects = 0;
  SIZE_T m_cbPrivate = 0;
};

BOOL CALLBACK CountWindow(HWND hWnd, LPARAM lParam) {
  ++*reinterpret_cast<DWORD*>(lParam);
  EnumChildWindows(hWnd, &CountWindow, lParam);
  return TRUE;
}

// Wine answers 0 to GetProcessHandleCount, GetGuiResources and PrivateUsage.
// There, a new handle's value stands in for the handle count (the server
// hands out the lowest free slot, so leaked handles push it up), the
// thread's windows for the USER objects, and the committed private pages,
// summed with VirtualQuery, for private bytes.
ProcessCounts TakeCounts() {
  ProcessCounts counts;
  GetProcessHandleCount(GetCurrentProcess(), &counts.m_nHandles);
  if (counts.m_nHandles == 0) {
    HANDLE hProbe = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    counts.m_nHandles = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(hProbe) / 4);
    CloseHandle(hProbe);
  }
  counts.m_nGdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  counts.m_nUserObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  if (counts.m_nUserObjects == 0) {
    EnumThreadWindows(GetCurrentThreadId(), &CountWindow,
                      reinterpret_cast<LPARAM>(&counts.m_nUserObjects));
  }
  MEMORY_BASIC_INFORMATION info{};
  for (const BYTE* p = nullptr; VirtualQuery(p, &info, sizeof(info)) == sizeof(info);
       p = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) {
      counts.m_cbPrivate += info.RegionSize;
    }
  }
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

class BandLongRunTest : public CBandWindowTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(CBandWindowTest::SetUp());
    ASSERT_TRUE(Dock());
    // The real timer would add ticks of its own; these tests drive them.
    KillTimer(m_band.m_hWnd, ID_BAND_TIMER);
  }
};

// The counts below must be able to see a leak, or their flatness proves nothing.
TEST(ProcessCountsTest, SeeLeakedHandlesWindowsAndMemory) {
  const ProcessCounts before = TakeCounts();
  std::vector<HANDLE> handles;
  for (int i = 0; i < 50; ++i) {
    handles.push_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  }
  HWND hWnd = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                              nullptr, nullptr);
  void* pMemory = VirtualAlloc(nullptr, 4 * 1024 * 1024, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  const ProcessCounts after = TakeCounts();
  VirtualFree(pMemory, 0, MEM_RELEASE);
  DestroyWindow(hWnd);
  for (HANDLE h : handles) {
    CloseHandle(h);
  }
  EXPECT_GE(after.m_nHandles, before.m_nHandles + 50);
  EXPECT_GE(after.m_nUserObjects, before.m_nUserObjects + 1);
  EXPECT_GE(after.m_cbPrivate, before.m_cbPrivate + 4 * 1024 * 1024);
}

TEST_F(BandLongRunTest, AHundredThousandTicksLeaveHandlesWindowObjectsAndMemoryFlat) {
  constexpr int kTicks = 100000;
  CTestPublisher publisher;
  ASSERT_TRUE(publisher.IsOpen());
  // Warm up, so that first-use allocations are not counted as growth.
  for (int i = 1; i <= 2000; ++i) {
    publisher.Publish(RecordNumber(static_cast<std::uint64_t>(i)));
    Tick(m_band);
  }
  const ProcessCounts before = TakeCounts();
  int nTaken = 0;
  int nInvalidated = 0;
  for (int i = 1; i <= kTicks; ++i) {
    const auto nSequence = static_cast<std::uint64_t>(10000 + i);
    publisher.Publish(RecordNumber(nSequence));
    Tick(m_band);
    nTaken += m_band.m_traffic.m_nLastSequence == nSequence ? 1 : 0;
    if (GetUpdateRect(m_band.m_hWnd, nullptr, FALSE)) {
      ++nInvalidated;
      ValidateRect(m_band.m_hWnd, nullptr);
    }
  }
  const ProcessCounts after = TakeCounts();
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

// The same Direct2D and DirectWrite calls a band frame makes, made directly.
void DrawBareFrame(CCompositionRenderer& renderer) {
  ID2D1DeviceContext* pContext = renderer.m_pD2DContext;
  pContext->BeginDraw();
  pContext->Clear(D2D1::ColorF(0, 0, 0, 0));
  IDWriteTextFormat* pFormat = nullptr;
  renderer.m_pDWriteFactory->CreateTextFormat(L"Segoe UI", nullptr, DWRITE_FONT_WEIGHT_MEDIUM,
                                              DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
                                              11.0f, L"de-DE", &pFormat);
  pFormat->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
  pFormat->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
  ID2D1SolidColorBrush* pBrushes[3] = {};
  for (ID2D1SolidColorBrush*& pBrush : pBrushes) {
    pContext->CreateSolidColorBrush(D2D1::ColorF(0.5f, 0.6f, 0.7f, 1.0f), &pBrush);
  }
  pContext->DrawText(L"12.34 MB/s", 10, pFormat, D2D1::RectF(18, 0, 95, 17), pBrushes[0]);
  pContext->DrawText(L"1.234 Mbit/s", 12, pFormat, D2D1::RectF(18, 19, 95, 36), pBrushes[1]);
  pContext->FillRectangle(D2D1::RectF(18, 16, 93, 18), pBrushes[2]);
  pContext->FillRectangle(D2D1::RectF(18, 35, 93, 37), pBrushes[2]);
  pContext->FillRectangle(D2D1::RectF(18, 16, 60, 18), pBrushes[0]);
  pContext->FillRectangle(D2D1::RectF(18, 35, 70, 37), pBrushes[1]);
  for (int nArrow = 0; nArrow < 2; ++nArrow) {
    ID2D1PathGeometry* pGeometry = nullptr;
    renderer.m_pD2DFactory->CreatePathGeometry(&pGeometry);
    ID2D1GeometrySink* pSink = nullptr;
    pGeometry->Open(&pSink);
    const float y0 = nArrow == 0 ? 4.0f : 23.0f;
    pSink->BeginFigure(D2D1::Point2F(9, y0), D2D1_FIGURE_BEGIN_FILLED);
    const float points[7][2] = {{14, 5}, {11, 5}, {11, 11}, {6, 11}, {6, 5}, {3, 5}, {8, 0}};
    for (const auto& point : points) {
      pSink->AddLine(D2D1::Point2F(point[0], y0 + point[1]));
    }
    pSink->EndFigure(D2D1_FIGURE_END_CLOSED);
    pSink->Close();
    pContext->FillGeometry(pGeometry, pBrushes[nArrow]);
    pSink->Release();
    pGeometry->Release();
  }
  (void)renderer.EndFrame();
  for (ID2D1SolidColorBrush* pBrush : pBrushes) {
    pBrush->Release();
  }
  pFormat->Release();
}

// Wine's Direct2D itself grows a little with each filled rectangle or
// geometry (a few hundred bytes, measured here with bare calls). The band's
// frames may add nothing of their own to that: the same number of frames of
// the same calls, made bare and made by the band, grow memory alike.
TEST_F(BandLongRunTest, TheBandsFramesGrowMemoryNoMoreThanTheSameBareCalls) {
  constexpr int kFrames = 2000;
  CTestPublisher publisher;
  auto drawBandFrame = [&](int i) {
    publisher.Publish(RecordNumber(static_cast<std::uint64_t>(i)));
    Tick(m_band);
    UpdateWindow(m_band.m_hWnd);
  };
  for (int i = 1; i <= 1000; ++i) {
    drawBandFrame(i);
    DrawBareFrame(m_band.m_renderer);
  }
  const int nPresentsBefore = m_doubles.Log().m_nPresents;
  const SIZE_T cbStart = TakeCounts().m_cbPrivate;
  for (int i = 0; i < kFrames; ++i) {
    DrawBareFrame(m_band.m_renderer);
  }
  const SIZE_T cbAfterBare = TakeCounts().m_cbPrivate;
  for (int i = 1; i <= kFrames; ++i) {
    drawBandFrame(10000 + i);
  }
  const SIZE_T cbAfterBand = TakeCounts().m_cbPrivate;
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
    fBestBand =
        std::min(fBestBand,
                 std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kRounds);
    start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
      BareTick(m_band.m_hWnd, nLast);
    }
    fBestBare =
        std::min(fBestBare,
                 std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kRounds);
  }
  const double fRatio = fBestBand / fBestBare;
  std::printf("[ tick cost ] band tick %.2f us, bare platform calls %.2f us, ratio %.2f\n",
              fBestBand, fBestBare, fRatio);
  RecordProperty("TickMicroseconds", std::to_string(fBestBand));
  RecordProperty("BareMicroseconds", std::to_string(fBestBare));
  EXPECT_LT(fRatio, 2.0);
}

}  // namespace
