#include <gtest/gtest.h>

#include <cstdint>

#include "band/PositionRules.h"

namespace {

struct PosXCase {
  const char* what;
  LONG nPosX, nBandWidth, nTaskbarWidth;
  bool bValid;
};

constexpr PosXCase kPosXCases[] = {
    {"30 pixels of a 95-wide band visible", -65, 95, 2560, true},
    {"29 pixels of a 95-wide band visible", -66, 95, 2560, false},
    {"left edge one pixel inside the right end", 2559, 95, 2560, true},
    {"left edge on the right end", 2560, 95, 2560, false},
    {"at the taskbar's left edge", 0, 95, 2560, true},
    {"a band narrower than 30 must start 30 - w right of 0", 10, 20, 2560, true},
    {"a band narrower than 30, one pixel short", 9, 20, 2560, false},
    {"far left", INT32_MIN, 95, 2560, false},
    {"far right", INT32_MAX, 95, 2560, false},
    {"zero-width taskbar accepts nothing", 0, 95, 0, false},
};

TEST(IsSavedPosXValid, KeepsAtLeast30PixelsOnTheTaskbarAndTheLeftEdgeBeforeItsEnd) {
  for (const auto& c : kPosXCases) {
    EXPECT_EQ(IsSavedPosXValid(c.nPosX, c.nBandWidth, c.nTaskbarWidth), c.bValid) << c.what;
  }
}

struct CenterCase {
  LONG nTaskbarHeight, nBandHeight, nExpected;
};

constexpr CenterCase kCenterCases[] = {
    {48, 37, 5},                             // H - h = 11
    {35, 38, -1},                            // H - h = -3 truncates toward zero
    {48, 38, 5},  {48, 48, 0}, {48, 49, 0},  // -1 / 2 is 0, not -1
    {0, 0, 0},
};

TEST(ComputeCenteredTop, HalvesTheSpareHeightTruncatingTowardZero) {
  for (const auto& c : kCenterCases) {
    EXPECT_EQ(ComputeCenteredTop(c.nTaskbarHeight, c.nBandHeight), c.nExpected)
        << "H=" << c.nTaskbarHeight << " h=" << c.nBandHeight;
  }
}

}  // namespace
