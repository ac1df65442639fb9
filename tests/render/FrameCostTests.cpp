// Drawing many band frames leaves nothing behind. Frames re-create their text
// format, brushes and geometries every time; what a frame costs in time is
// measured by make bench.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

#include "support/ReferenceFrame.h"
#include "support/RendererDoubles.h"
#include "support/TestSupport.h"
#include "feed/FormatRate.h"
#include "render/BandFrame.h"

namespace {

struct Frames : RendererOnDoubles {
  wchar_t szUpper[kRateTextChars] = {};
  wchar_t szLower[kRateTextChars] = {};

  Frames() { EXPECT_TRUE(Initialize()); }

  void BandFrame(int i) {
    DrawBandFrame(renderer, window.Handle(), ReferenceState(i), szUpper, szLower);
  }
};

void Print(const char* pszWhen, const ProcessCounts& counts) {
  std::printf("%-10s handles %lu, GDI %lu, USER %lu, private %zu KiB\n", pszWhen, counts.m_nHandles,
              counts.m_nGdiObjects, counts.m_nUserObjects, counts.m_cbPrivate / 1024);
}

long long Grown(SIZE_T from, SIZE_T to) {
  return static_cast<long long>(to) - static_cast<long long>(from);
}

}  // namespace

// Wine 8's Direct3D/Direct2D hold memory per device that grows with the
// frames drawn on it (about 600 bytes a frame, in steps) and give it all back
// with the device; its Direct2D also keeps about 50 bytes of every path
// geometry after its last Release. So under Wine private bytes are flat across
// the surface's life, not across its frames. Two checks, both in this
// process: the band's frames grow it no more than the reference frame's same
// platform calls (a text format, brush or geometry left unreleased would add
// 100 bytes or more per frame), and releasing the surface gives everything
// back.
TEST(FrameCost, TenThousandFramesLeaveHandlesAndPrivateBytesFlat) {
  constexpr int kFrames = 10000;
  ProcessCounts before;
  ProcessCounts middle;
  ProcessCounts after;
  {
    Frames frames;
    before = TakeProcessCounts();
    for (int i = 0; i < kFrames / 2; ++i) {
      frames.BandFrame(i);
    }
    middle = TakeProcessCounts();
    for (int i = kFrames / 2; i < kFrames; ++i) {
      frames.BandFrame(i);
    }
    after = TakeProcessCounts();
    EXPECT_EQ(frames.doubles.Log().m_nPresents, kFrames);
  }
  ProcessCounts referenceBefore;
  ProcessCounts referenceAfter;
  {
    Frames frames;
    referenceBefore = TakeProcessCounts();
    for (int i = 0; i < kFrames; ++i) {
      DrawReferenceFrame(frames.renderer, i);
    }
    referenceAfter = TakeProcessCounts();
  }
  const ProcessCounts end = TakeProcessCounts();
  Print("before", before);
  Print("5,000", middle);
  Print("10,000", after);
  Print("ref 0", referenceBefore);
  Print("ref 10,000", referenceAfter);
  Print("end", end);
  const long long cbFrames = Grown(before.m_cbPrivate, after.m_cbPrivate);
  const long long cbReference = Grown(referenceBefore.m_cbPrivate, referenceAfter.m_cbPrivate);
  std::printf(
      "10,000 band frames grew private memory by %lld KiB, 10,000 plain frames by %lld KiB\n",
      cbFrames / 1024, cbReference / 1024);

  EXPECT_GT(before.m_cbPrivate, 0u);
  EXPECT_LE(after.m_nHandles, before.m_nHandles);
  EXPECT_LE(end.m_nHandles, before.m_nHandles);
  EXPECT_LE(after.m_nGdiObjects, before.m_nGdiObjects);
  EXPECT_LE(after.m_nUserObjects, before.m_nUserObjects);
  constexpr long long kSlack = 512 * 1024;  // about 50 bytes per frame
  EXPECT_LE(cbFrames, cbReference + kSlack);
  EXPECT_LE(end.m_cbPrivate, before.m_cbPrivate + kSlack);
}
