// make bench: what a band frame costs under the real Direct2D/DirectWrite,
// next to the same calls written out plainly (the reference frame) and to an
// empty frame on the same target. Fails when the band's frame costs 1.2 times
// the reference frame or more, or does not fit well within a 100 ms tick.

#include <gtest/gtest.h>

#include <cstdio>

#include "support/ReferenceFrame.h"
#include "support/RendererDoubles.h"
#include "support/TestSupport.h"
#include "feed/FormatRate.h"
#include "render/BandFrame.h"

namespace {

constexpr double kLimit = 1.2;
constexpr double kMostMicroseconds = 20000;

TEST(FrameBench, ABandFrameCostsLittleMoreThanItsPlatformCalls) {
  RendererOnDoubles s;
  ASSERT_TRUE(s.Initialize());
  wchar_t szUpper[kRateTextChars] = {};
  wchar_t szLower[kRateTextChars] = {};
  const auto bandFrame = [&](int i) {
    DrawBandFrame(s.renderer, s.window.Handle(), ReferenceState(i), szUpper, szLower);
  };
  const auto referenceFrame = [&](int i) { DrawReferenceFrame(s.renderer, i); };
  const auto emptyFrame = [&](int) {
    s.renderer.D2DContext()->BeginDraw();
    s.renderer.D2DContext()->Clear(D2D1::ColorF(0, 0, 0, 0));
    (void)s.renderer.EndFrame();
  };
  for (int i = 0; i < 50; ++i) {  // warm caches, glyph atlases, shaders
    bandFrame(i);
    referenceFrame(i);
  }
  constexpr int kFrames = 200;
  double fBand = 1e300;
  double fReference = 1e300;
  double fEmpty = 1e300;
  // Alternate, so that a change in the machine's load hits all alike.
  for (int nPass = 0; nPass < 5; ++nPass) {
    fBand = std::min(fBand, BestMicrosecondsPerCall(1, kFrames, bandFrame));
    fReference = std::min(fReference, BestMicrosecondsPerCall(1, kFrames, referenceFrame));
    fEmpty = std::min(fEmpty, BestMicrosecondsPerCall(1, kFrames, emptyFrame));
  }
  const double fRatio = fBand / fReference;
  std::printf(
      "frame: band %.1f us, reference %.1f us, empty %.1f us; band/reference %.2f (limit %.1f), "
      "band/empty %.2f\n",
      fBand, fReference, fEmpty, fRatio, kLimit, fBand / fEmpty);
  EXPECT_LT(fRatio, kLimit);
  EXPECT_LT(fBand, kMostMicroseconds);
}

}  // namespace
