#include <gtest/gtest.h>

#include <cstdint>

#include "support/TestRecords.h"
#include "band/PlacementRules.h"

namespace {

struct DefaultRectCase {
  const char* what;
  RECT rcTaskbar;
  LONG nNotifyLeft;
  RECT rcExpected;
};

constexpr DefaultRectCase kDefaultRectCases[] = {
    {"notification area at 2200", {0, 1392, 2560, 1440}, 2200, {2100, 5, 2195, 43}},
    {"no notification area: right edge - 200",
     {0, 1392, 2560, 1440},
     2560 - 200,
     {2260, 5, 2355, 43}},
    {"second monitor starting at 2560", {2560, 1392, 5120, 1440}, 4760, {2100, 5, 2195, 43}},
    {"taskbar on a monitor left of the primary", {-1920, 1032, 0, 1080}, -300, {1520, 5, 1615, 43}},
    {"tall taskbar", {0, 0, 1920, 100}, 1700, {1600, 5, 1695, 95}},
    {"taskbar thinner than both margins", {0, 1072, 1920, 1080}, 1700, {1600, 5, 1695, 3}},
};

TEST(ComputeDefaultRect, PutsTheBand95WideEnding5ShortOfTheNotificationArea) {
  for (const auto& c : kDefaultRectCases) {
    const RECT rc = ComputeDefaultRect(c.rcTaskbar, c.nNotifyLeft);
    EXPECT_EQ(rc, c.rcExpected) << c.what;
  }
}

TEST(ComputeDefaultRect, KeepsTheBandWidthAndTheTaskbarHeightMinus10) {
  for (const auto& c : kDefaultRectCases) {
    const RECT rc = ComputeDefaultRect(c.rcTaskbar, c.nNotifyLeft);
    EXPECT_EQ(rc.right - rc.left, kBandWidth) << c.what;
    EXPECT_EQ(rc.bottom - rc.top, (c.rcTaskbar.bottom - c.rcTaskbar.top) - 10) << c.what;
  }
}

struct DragCase {
  const char* what;
  LONG nCursorX, nGrabX, nBandLeft, nBandWidth, nTaskbarLeft, nNotifyLeft;
  BOOL bClamp;
  LONG nExpected;
};

constexpr DragCase kDragCases[] = {
    {"follows the cursor inside the limits", 60, 10, 1500, 95, 0, 2200, TRUE, 1550},
    {"stops at the taskbar's left end", -400, 10, 100, 95, 0, 2200, TRUE, 0},
    {"stops where the right edge meets the notification area", 900, 10, 2000, 95, 0, 2200, TRUE,
     2105},
    {"right at the upper limit stays", 15, 10, 2100, 95, 0, 2200, TRUE, 2105},
    {"relative to a taskbar on a second monitor", 60, 10, 4060, 95, 2560, 4760, TRUE, 1550},
    {"second monitor, past the left end", -100, 10, 2600, 95, 2560, 4760, TRUE, 0},
    {"upper limit below 0 wins over the lower one", 50, 10, 100, 95, 0, 60, TRUE, -35},
    {"no notification area: limit is the taskbar's own left edge", 50, 10, 100, 95, 0, 0, TRUE,
     -95},
    {"no clamp past the left end", -400, 10, 100, 95, 0, 2200, FALSE, -310},
    {"no clamp past the notification area", 900, 10, 2000, 95, 0, 2200, FALSE, 2890},
};

TEST(ComputeDragLeft, MovesByTheCursorAndClampsWithTheUpperLimitLast) {
  for (const auto& c : kDragCases) {
    EXPECT_EQ(ComputeDragLeft(c.nCursorX, c.nGrabX, c.nBandLeft, c.nBandWidth, c.nTaskbarLeft,
                              c.nNotifyLeft, c.bClamp),
              c.nExpected)
        << c.what;
  }
}

TEST(ComputeDragLeft, SaturatesInsteadOfOverflowing) {
  EXPECT_EQ(ComputeDragLeft(INT32_MAX, INT32_MIN, INT32_MAX, 95, 0, 0, FALSE), INT32_MAX);
  EXPECT_EQ(ComputeDragLeft(INT32_MIN, INT32_MAX, 0, 95, 0, 0, FALSE), INT32_MIN);
}

struct DropCase {
  const char* what;
  LONG nNotifyLeft, nBandRight;
  bool bManual;
};

constexpr DropCase kDropCases[] = {
    {"gap of 20 stays", 2200, 2180, true},
    {"gap of 19 snaps back", 2200, 2181, false},
    {"far away stays", 2200, 500, true},
    {"default place (gap 5) snaps back", 2200, 2195, false},
    {"overlapping the area snaps back", 2200, 2250, false},
    {"negative gap without a notification area snaps back", 0, -1, false},
    {"negative coordinates, gap 20", -100, -120, true},
};

TEST(IsManualDrop, KeepsTheBandOnlyWithAtLeast20PixelsClear) {
  for (const auto& c : kDropCases) {
    EXPECT_EQ(IsManualDrop(c.nNotifyLeft, c.nBandRight), c.bManual) << c.what;
  }
}

struct OrientationCase {
  const char* what;
  RECT rcTaskbar;
  bool bVertical;
};

constexpr OrientationCase kOrientationCases[] = {
    {"along the bottom", {0, 1032, 1920, 1080}, false},
    {"along the top", {0, 0, 1920, 48}, false},
    {"on the left edge", {0, 0, 62, 1080}, true},
    {"on the right edge of a second monitor", {3778, 0, 3840, 1080}, true},
    {"square counts as horizontal", {0, 0, 48, 48}, false},
    {"one pixel taller than wide", {0, 0, 48, 49}, true},
    {"empty", {0, 0, 0, 0}, false},
};

TEST(IsVerticalTaskbar, IsTallerThanItIsWide) {
  for (const auto& c : kOrientationCases) {
    EXPECT_EQ(IsVerticalTaskbar(c.rcTaskbar), c.bVertical) << c.what;
  }
}

struct HandPlacementCase {
  const char* what;
  LONG nPosX;
  LONG nTaskbarWidth;
  std::optional<LONG> nNotifyRelative;
  bool bKept;
};

// A 95-wide band.
constexpr HandPlacementCase kHandPlacementCases[] = {
    {"well inside", 1000, 1920, 1700, true},
    {"right edge on the notification area's edge", 1605, 1920, 1700, true},
    {"one pixel into the notification area", 1606, 1920, 1700, false},
    {"past the notification area, still before the right end", 1800, 1920, 1700, false},
    {"no notification area: up to the right end", 1919, 1920, std::nullopt, true},
    {"no notification area: on the right end", 1920, 1920, std::nullopt, false},
    {"30 pixels left on the taskbar", -65, 1920, 1700, true},
    {"29 pixels left on the taskbar", -66, 1920, 1700, false},
    {"a taskbar that narrowed under the band", 1500, 1320, 1100, false},
    {"the notification area moved over the band", 1000, 1920, 1050, false},
    {"far right does not overflow", INT32_MAX, INT32_MAX, INT32_MAX, false},
};

TEST(KeepsHandPlacement, HoldsTheStartsCheckAndKeepsClearOfTheNotificationArea) {
  for (const auto& c : kHandPlacementCases) {
    EXPECT_EQ(KeepsHandPlacement(c.nPosX, 95, c.nTaskbarWidth, c.nNotifyRelative), c.bKept)
        << c.what;
  }
}

}  // namespace
