#include <gtest/gtest.h>

#include <array>

#include "render/BandLayout.h"

namespace {

RECT Client(LONG w, LONG h) { return RECT{0, 0, w, h}; }

TrafficState State(std::int64_t rateUpper, std::int64_t maxUpper, std::int64_t rateLower,
                   std::int64_t maxLower, BOOL bFlipped = FALSE) {
  TrafficState s;
  s.m_nRateUpper = rateUpper;
  s.m_nMaxUpper = maxUpper;
  s.m_nRateLower = rateLower;
  s.m_nMaxLower = maxLower;
  s.m_bArrowsFlipped = bFlipped;
  return s;
}

void ExpectRect(const LayoutRect& actual, const LayoutRect& expected) {
  EXPECT_FLOAT_EQ(actual.left, expected.left);
  EXPECT_FLOAT_EQ(actual.top, expected.top);
  EXPECT_FLOAT_EQ(actual.right, expected.right);
  EXPECT_FLOAT_EQ(actual.bottom, expected.bottom);
}

void ExpectVertices(const ArrowShape& arrow, const std::array<LayoutPoint, 8>& expected) {
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_FLOAT_EQ(arrow.m_vertices[i].x, expected[i].x);
    EXPECT_FLOAT_EQ(arrow.m_vertices[i].y, expected[i].y);
  }
}

}  // namespace

TEST(BandLayout, WorkedExampleAt95By38) {
  const BandLayout layout = ComputeBandLayout(Client(95, 38), State(3, 4, 0, 10));
  ExpectRect(layout.m_upperText, {18, 0, 95, 17});
  ExpectRect(layout.m_lowerText, {18, 19, 95, 36});
  ExpectRect(layout.m_upperTrack, {18, 16, 93, 18});
  ExpectRect(layout.m_lowerTrack, {18, 35, 93, 37});
  ASSERT_TRUE(layout.m_bUpperBar);
  ExpectRect(layout.m_upperBar, {18, 16, 74.25f, 18});
  EXPECT_TRUE(layout.m_upperArrow.m_bPointsUp);
  ExpectVertices(layout.m_upperArrow,
                 {{{9, 4}, {14, 9}, {11, 9}, {11, 15}, {6, 15}, {6, 9}, {3, 9}, {8, 4}}});
  EXPECT_FALSE(layout.m_lowerArrow.m_bPointsUp);
  ExpectVertices(layout.m_lowerArrow,
                 {{{9, 34}, {14, 29}, {11, 29}, {11, 23}, {6, 23}, {6, 29}, {3, 29}, {8, 34}}});
}

TEST(BandLayout, TheClientOriginDoesNotMoveTheFrame) {
  const BandLayout layout = ComputeBandLayout(RECT{10, 20, 105, 58}, State(3, 4, 0, 10));
  ExpectRect(layout.m_upperText, {18, 0, 95, 17});
  ExpectRect(layout.m_upperBar, {18, 16, 74.25f, 18});
}

struct BarCase {
  const char* name;
  LONG width;
  std::int64_t rate;
  std::int64_t max;
  BOOL bBar;
  float right;
};

class BarLength : public testing::TestWithParam<BarCase> {};

TEST_P(BarLength, FollowsRateOverFullScaleOnBothLines) {
  const BarCase& c = GetParam();
  const BandLayout upper = ComputeBandLayout(Client(c.width, 38), State(c.rate, c.max, -1, -1));
  const BandLayout lower = ComputeBandLayout(Client(c.width, 38), State(-1, -1, c.rate, c.max));
  EXPECT_EQ(upper.m_bUpperBar, c.bBar);
  EXPECT_EQ(lower.m_bLowerBar, c.bBar);
  EXPECT_FALSE(upper.m_bLowerBar);
  EXPECT_FALSE(lower.m_bUpperBar);
  if (c.bBar) {
    ExpectRect(upper.m_upperBar, {18, 16, c.right, 18});
    ExpectRect(lower.m_lowerBar, {18, 35, c.right, 37});
  }
}

// Single precision throughout: 2^24 + 1 becomes 2^24 before the division.
INSTANTIATE_TEST_SUITE_P(
    Cases, BarLength,
    testing::Values(BarCase{"ThreeOfFour", 95, 3, 4, TRUE, 74.25f},
                    BarCase{"AtFullScaleFillsTheTrack", 95, 4, 4, TRUE, 93},
                    BarCase{"AboveFullScaleStopsAtTheTrackEnd", 95, 40, 4, TRUE, 93},
                    BarCase{"ZeroRateHasZeroWidth", 95, 0, 4, TRUE, 18},
                    BarCase{"ZeroFullScaleHasNoBar", 95, 3, 0, FALSE, 0},
                    BarCase{"NoDataFullScaleHasNoBar", 95, 3, -1, FALSE, 0},
                    BarCase{"NegativeRateHasNoBar", 95, -1, 4, FALSE, 0},
                    BarCase{"HugeValuesDivideAsFloats", 95, 16777217, 16777216, TRUE, 93},
                    BarCase{"HalfOfHugeFullScale", 95, 4611686018427387904LL,
                            std::int64_t{9223372036854775807LL}, TRUE, 55.5f},
                    BarCase{"NarrowClientEndsLeftOfTheArrowColumn", 15, 1, 2, TRUE, 15.5f},
                    BarCase{"NarrowClientFullBarEndsAtTrackEnd", 15, 2, 2, TRUE, 13}),
    [](const testing::TestParamInfo<BarCase>& info) { return std::string(info.param.name); });

// As floats, 16777217 and 16777219 are 16777216 and 16777220: the bar ends at
// 92.999985, one float short of where a division in double would put it.
TEST(BandLayout, TheBarFractionIsTakenInSinglePrecision) {
  const BandLayout layout = ComputeBandLayout(Client(95, 38), State(16777217, 16777219, 0, 10));
  EXPECT_EQ(layout.m_upperBar.right, 92.99998474121094f);
}

TEST(BandLayout, OddHeightGivesFractionalPositions) {
  const BandLayout layout = ComputeBandLayout(Client(95, 37), State(1, 2, 1, 2));
  ExpectRect(layout.m_upperText, {18, 0, 95, 16.5f});
  ExpectRect(layout.m_lowerText, {18, 18.5f, 95, 35});
  ExpectRect(layout.m_upperTrack, {18, 15.5f, 93, 17.5f});
  ExpectRect(layout.m_lowerTrack, {18, 34, 93, 36});
  EXPECT_FLOAT_EQ(layout.m_upperArrow.m_vertices[7].y, 3.75f);
  EXPECT_FLOAT_EQ(layout.m_lowerArrow.m_vertices[3].y, 22.25f);
}

TEST(BandLayout, NarrowClientKeepsTracksAsComputed) {
  const BandLayout layout = ComputeBandLayout(Client(15, 38), State(-1, -1, -1, -1));
  ExpectRect(layout.m_upperTrack, {18, 16, 13, 18});
  ExpectRect(layout.m_lowerText, {18, 19, 15, 36});
  // The arrows keep their columns whatever the width.
  EXPECT_FLOAT_EQ(layout.m_upperArrow.m_vertices[6].x, 3);
  EXPECT_FLOAT_EQ(layout.m_upperArrow.m_vertices[1].x, 14);
}

TEST(BandLayout, ZeroedClientLaysOutForNothing) {
  const BandLayout layout = ComputeBandLayout(Client(0, 0), State(1, 2, 1, 2));
  ExpectRect(layout.m_upperText, {18, 0, 0, -2});
  ExpectRect(layout.m_lowerText, {18, 0, 0, -2});
  ExpectRect(layout.m_upperTrack, {18, -3, -2, -1});
  ExpectRect(layout.m_lowerTrack, {18, -3, -2, -1});
  ExpectRect(layout.m_upperBar, {18, -3, 8, -1});  // half of a negative span
  EXPECT_FLOAT_EQ(layout.m_upperArrow.m_vertices[7].y, -5.5f);
  EXPECT_FLOAT_EQ(layout.m_lowerArrow.m_vertices[3].y, -5.5f);
}

TEST(BandLayout, FlippingSwapsOnlyTheArrowShapes) {
  const TrafficState plain = State(3, 4, 1, 4, FALSE);
  const TrafficState flipped = State(3, 4, 1, 4, TRUE);
  const BandLayout a = ComputeBandLayout(Client(95, 38), plain);
  const BandLayout b = ComputeBandLayout(Client(95, 38), flipped);
  EXPECT_TRUE(a.m_upperArrow.m_bPointsUp);
  EXPECT_FALSE(a.m_lowerArrow.m_bPointsUp);
  EXPECT_FALSE(b.m_upperArrow.m_bPointsUp);
  EXPECT_TRUE(b.m_lowerArrow.m_bPointsUp);
  ExpectVertices(b.m_upperArrow,
                 {{{9, 15}, {14, 10}, {11, 10}, {11, 4}, {6, 4}, {6, 10}, {3, 10}, {8, 15}}});
  ExpectVertices(b.m_lowerArrow,
                 {{{9, 23}, {14, 28}, {11, 28}, {11, 34}, {6, 34}, {6, 28}, {3, 28}, {8, 23}}});
  ExpectRect(a.m_upperBar, b.m_upperBar);
  ExpectRect(a.m_lowerBar, b.m_lowerBar);
  ExpectRect(a.m_upperText, b.m_upperText);
  ExpectRect(a.m_lowerTrack, b.m_lowerTrack);
}

TEST(BandLayout, AnyNonzeroFlipValueFlips) {
  const BandLayout layout = ComputeBandLayout(Client(95, 38), State(0, 0, 0, 0, 7));
  EXPECT_FALSE(layout.m_upperArrow.m_bPointsUp);
  EXPECT_TRUE(layout.m_lowerArrow.m_bPointsUp);
}

TEST(BandLayout, ArrowsAreSymmetricAboutEightAndAHalf) {
  for (BOOL bUp : {TRUE, FALSE}) {
    const ArrowShape arrow = ComputeArrow(4, bUp);
    float minY = 1e9f;
    float maxY = -1e9f;
    for (std::size_t i = 0; i < 8; ++i) {
      const LayoutPoint& p = arrow.m_vertices[i];
      const LayoutPoint& mirror = arrow.m_vertices[7 - i];
      EXPECT_FLOAT_EQ(p.x + mirror.x, 17.0f);
      EXPECT_FLOAT_EQ(p.y, mirror.y);
      minY = std::min(minY, p.y);
      maxY = std::max(maxY, p.y);
    }
    EXPECT_FLOAT_EQ(minY, 4);
    EXPECT_FLOAT_EQ(maxY, 15);
  }
}

TEST(BandLayout, DownArrowMirrorsUpArrowAboutItsMiddle) {
  const ArrowShape up = ComputeArrow(4, TRUE);
  const ArrowShape down = ComputeArrow(4, FALSE);
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_FLOAT_EQ(down.m_vertices[i].x, up.m_vertices[i].x);
    EXPECT_FLOAT_EQ(down.m_vertices[i].y, 2 * (4 + 5.5f) - up.m_vertices[i].y);
  }
}

struct ColorCase {
  COLORREF cr;
  LayoutColor expected;
};

TEST(BandLayout, ColorRefBecomesOpaqueColorWithRedFromTheLowByte) {
  static constexpr ColorCase cases[] = {
      {0x000000FF, {1, 0, 0, 1}},
      {0x0000FF00, {0, 1, 0, 1}},
      {0x00FF0000, {0, 0, 1, 1}},
      {0xFF000000, {0, 0, 0, 1}},  // the top byte is not alpha
      {0x00E69A4E, {78 / 255.0f, 154 / 255.0f, 230 / 255.0f, 1}},
  };
  for (const ColorCase& c : cases) {
    SCOPED_TRACE(c.cr);
    const LayoutColor color = ColorFromColorRef(c.cr);
    EXPECT_FLOAT_EQ(color.r, c.expected.r);
    EXPECT_FLOAT_EQ(color.g, c.expected.g);
    EXPECT_FLOAT_EQ(color.b, c.expected.b);
    EXPECT_FLOAT_EQ(color.a, c.expected.a);
  }
}

// --- Which items a frame draws, and in which order -------------------------

namespace {

struct PlannedItem {
  FrameItemKind kind;
  FrameBrush brush;
  BOOL bUpper;
};

std::vector<PlannedItem> Items(const FramePlan& plan) {
  std::vector<PlannedItem> items;
  for (std::size_t i = 0; i < plan.m_nItems; ++i) {
    items.push_back(
        {plan.m_items[i].m_kind, plan.m_items[i].m_brush, plan.m_items[i].m_bUpperLine});
  }
  return items;
}

bool operator==(const PlannedItem& a, const PlannedItem& b) {
  return a.kind == b.kind && a.brush == b.brush && a.bUpper == b.bUpper;
}

void PrintTo(const PlannedItem& item, std::ostream* os) {
  *os << "{kind " << static_cast<int>(item.kind) << ", brush " << static_cast<int>(item.brush)
      << (item.bUpper ? ", upper}" : ", lower}");
}

constexpr PlannedItem kUpperText{FrameItemKind::Text, FrameBrush::Upper, TRUE};
constexpr PlannedItem kLowerText{FrameItemKind::Text, FrameBrush::Lower, FALSE};
constexpr PlannedItem kUpperTrack{FrameItemKind::Rectangle, FrameBrush::Track, TRUE};
constexpr PlannedItem kLowerTrack{FrameItemKind::Rectangle, FrameBrush::Track, FALSE};
constexpr PlannedItem kUpperBar{FrameItemKind::Rectangle, FrameBrush::Upper, TRUE};
constexpr PlannedItem kLowerBar{FrameItemKind::Rectangle, FrameBrush::Lower, FALSE};
constexpr PlannedItem kUpperArrow{FrameItemKind::Arrow, FrameBrush::Upper, TRUE};
constexpr PlannedItem kLowerArrow{FrameItemKind::Arrow, FrameBrush::Lower, FALSE};

struct PlanCase {
  const char* name;
  TrafficState state;
  BOOL bUpperBrush;
  BOOL bLowerBrush;
  BOOL bTrackBrush;
  std::vector<PlannedItem> expected;
};

}  // namespace

class FramePlanItems : public testing::TestWithParam<PlanCase> {};

TEST_P(FramePlanItems, DrawsWhatItsBrushesAndValuesAllow) {
  const PlanCase& c = GetParam();
  const BandLayout layout = ComputeBandLayout(Client(95, 38), c.state);
  const FramePlan plan = PlanFrame(layout, c.bUpperBrush, c.bLowerBrush, c.bTrackBrush);
  EXPECT_EQ(Items(plan), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FramePlanItems,
    testing::Values(
        PlanCase{"FullFrameInDrawingOrder",
                 State(3, 4, 1, 4),
                 TRUE,
                 TRUE,
                 TRUE,
                 {kUpperText, kLowerText, kUpperTrack, kLowerTrack, kUpperBar, kLowerBar,
                  kUpperArrow, kLowerArrow}},
        PlanCase{"NoDataDrawsTracksAndArrowsButNoBars",
                 TrafficState{},
                 TRUE,
                 TRUE,
                 TRUE,
                 {kUpperText, kLowerText, kUpperTrack, kLowerTrack, kUpperArrow, kLowerArrow}},
        PlanCase{"ZeroRateStillDrawsItsBar",
                 State(0, 4, 0, 4),
                 TRUE,
                 TRUE,
                 TRUE,
                 {kUpperText, kLowerText, kUpperTrack, kLowerTrack, kUpperBar, kLowerBar,
                  kUpperArrow, kLowerArrow}},
        PlanCase{"MissingUpperBrushSkipsTheUpperLine",
                 State(3, 4, 1, 4),
                 FALSE,
                 TRUE,
                 TRUE,
                 {kLowerText, kUpperTrack, kLowerTrack, kLowerBar, kLowerArrow}},
        PlanCase{"MissingLowerBrushSkipsTheLowerLine",
                 State(3, 4, 1, 4),
                 TRUE,
                 FALSE,
                 TRUE,
                 {kUpperText, kUpperTrack, kLowerTrack, kUpperBar, kUpperArrow}},
        PlanCase{"MissingTrackBrushSkipsBothTracks",
                 State(3, 4, 1, 4),
                 TRUE,
                 TRUE,
                 FALSE,
                 {kUpperText, kLowerText, kUpperBar, kLowerBar, kUpperArrow, kLowerArrow}},
        PlanCase{"NoBrushesDrawNothing", State(3, 4, 1, 4), FALSE, FALSE, FALSE, {}}),
    [](const testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

TEST(FramePlan, ItemsPointIntoTheLayout) {
  const BandLayout layout = ComputeBandLayout(Client(95, 38), State(3, 4, 1, 4));
  const FramePlan plan = PlanFrame(layout, TRUE, TRUE, TRUE);
  ASSERT_EQ(plan.m_nItems, 8u);
  EXPECT_EQ(plan.m_items[0].m_pRect, &layout.m_upperText);
  EXPECT_EQ(plan.m_items[1].m_pRect, &layout.m_lowerText);
  EXPECT_EQ(plan.m_items[2].m_pRect, &layout.m_upperTrack);
  EXPECT_EQ(plan.m_items[3].m_pRect, &layout.m_lowerTrack);
  EXPECT_EQ(plan.m_items[4].m_pRect, &layout.m_upperBar);
  EXPECT_EQ(plan.m_items[5].m_pRect, &layout.m_lowerBar);
  EXPECT_EQ(plan.m_items[6].m_pArrow, &layout.m_upperArrow);
  EXPECT_EQ(plan.m_items[7].m_pArrow, &layout.m_lowerArrow);
}
