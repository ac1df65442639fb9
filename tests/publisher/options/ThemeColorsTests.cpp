#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "publisher/options/ThemeColors.h"

namespace {

// The hue in degrees (HSV), or -1 for a grey.
double Hue(std::uint32_t nRgb) {
  const double r = ((nRgb >> 16) & 0xFF) / 255.0;
  const double g = ((nRgb >> 8) & 0xFF) / 255.0;
  const double b = (nRgb & 0xFF) / 255.0;
  const double nMax = std::max({r, g, b});
  const double nDelta = nMax - std::min({r, g, b});
  if (nDelta == 0) return -1;
  double h = nMax == r   ? std::fmod((g - b) / nDelta, 6.0)
             : nMax == g ? (b - r) / nDelta + 2
                         : (r - g) / nDelta + 4;
  h *= 60;
  return h < 0 ? h + 360 : h;
}

double HueDistance(std::uint32_t nA, std::uint32_t nB) {
  const double a = Hue(nA);
  const double b = Hue(nB);
  if (a < 0 || b < 0) return 0;
  const double d = std::fabs(a - b);
  return std::min(d, 360 - d);
}

TEST(ContrastRatio, MatchesWcagsFormula) {
  EXPECT_NEAR(ContrastRatio(0xFFFFFF, 0x000000), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(0x000000, 0xFFFFFF), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(0x777777, 0x777777), 1.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(0x767676, 0xFFFFFF), 4.54, 0.005);
  EXPECT_NEAR(RelativeLuminance(0xFF0000), 0.2126, 1e-9);
  EXPECT_NEAR(RelativeLuminance(0x00FF00), 0.7152, 1e-9);
}

// The dark and light taskbars, with the contrast each line's colour has
// there, and around there (transparency lets the desktop lighten or darken
// the taskbar a little).
TEST(ThemeLineColors, DarkAndLightTaskbarsGetTheirPairWithTheMeasuredContrast) {
  static constexpr struct {
    const char* name;
    TaskbarTheme theme;
    LineColors expected;
    double dDown;
    double dUp;
    std::uint32_t nNear[2];
  } kCases[] = {
      {"dark", {false, false, 0}, {0x4E9AE6, 0x7EE444}, 5.50, 10.14, {0x1C1C1C, 0x2C2C2C}},
      {"light", {true, false, 0}, {0x005A9E, 0x0E6B0E}, 6.40, 6.05, {0xE0E0E0, 0xFFFFFF}},
      // The accent only counts where the taskbar shows it.
      {"dark, accent off",
       {false, false, 0xFFFFFF},
       {0x4E9AE6, 0x7EE444},
       5.50,
       10.14,
       {0x1C1C1C, 0x2C2C2C}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const LineColors colors = ThemeLineColors(c.theme);
    EXPECT_EQ(colors, c.expected);
    const std::uint32_t nTaskbar = TaskbarColor(c.theme);
    EXPECT_NEAR(ContrastRatio(colors.m_nDown, nTaskbar), c.dDown, 0.005);
    EXPECT_NEAR(ContrastRatio(colors.m_nUp, nTaskbar), c.dUp, 0.005);
    for (const std::uint32_t nNear : c.nNear) {
      EXPECT_GE(ContrastRatio(colors.m_nDown, nNear), kMinContrast);
      EXPECT_GE(ContrastRatio(colors.m_nUp, nNear), kMinContrast);
    }
    EXPECT_GE(HueDistance(colors.m_nDown, colors.m_nUp), 80);
  }
}

// Accents a user can pick, the extremes and the hardest ones (those as far
// from white as from black) among them.
TEST(ThemeLineColors, EveryAccentGetsAReadablePairThatTellsUpFromDown) {
  static constexpr struct {
    std::uint32_t nAccent;
    bool bLightText;
  } kCases[] = {
      {0x000000, true},  {0xFFFFFF, false}, {0x005A9E, true},  {0x0078D4, false}, {0x767676, false},
      {0x777777, false}, {0x757575, true},  {0x808080, false}, {0xFF0000, false}, {0x00FF00, false},
      {0x0000FF, true},  {0xFFFF00, false}, {0xE81123, true},  {0xFFB900, false}, {0x881798, true},
      {0x00B294, false}, {0x4E9AE6, false}, {0x7EE444, false}, {0x107C10, true},  {0x2D7D9A, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.nAccent);
    const TaskbarTheme theme{false, true, c.nAccent};
    EXPECT_EQ(TaskbarColor(theme), c.nAccent);
    const LineColors colors = ThemeLineColors(theme);
    EXPECT_GE(ContrastRatio(colors.m_nDown, c.nAccent), kMinContrast);
    EXPECT_GE(ContrastRatio(colors.m_nUp, c.nAccent), kMinContrast);
    EXPECT_EQ(RelativeLuminance(colors.m_nDown) > RelativeLuminance(c.nAccent), c.bLightText);
    EXPECT_EQ(RelativeLuminance(colors.m_nUp) > RelativeLuminance(c.nAccent), c.bLightText);
    EXPECT_GE(HueDistance(colors.m_nDown, colors.m_nUp), 60);
  }
  // In light mode Windows shows no accent on the taskbar, whatever the switch says.
  EXPECT_EQ(TaskbarColor({true, true, 0x000000}), kLightTaskbar);
  EXPECT_EQ(ThemeLineColors({true, true, 0x000000}), kColorsOnLight);
  // Bits above the colour are not part of it.
  EXPECT_EQ(ThemeLineColors({false, true, 0xFF000000}), ThemeLineColors({false, true, 0}));
}

// Where the accent allows, each line keeps its own colour; only as much
// white or black is mixed in as the contrast needs.
TEST(ThemeLineColors, ADarkAccentKeepsTheDarkTaskbarsColoursWhereTheyAreReadable) {
  EXPECT_EQ(ThemeLineColors({false, true, 0x000000}), kColorsOnDark);
  EXPECT_EQ(ThemeLineColors({false, true, 0xFFFFFF}), kColorsOnLight);
  const LineColors onBlue = ThemeLineColors({false, true, 0x0000FF});
  EXPECT_EQ(onBlue.m_nUp, kColorsOnDark.m_nUp);
  EXPECT_NE(onBlue.m_nDown, kColorsOnDark.m_nDown);
  EXPECT_GT(onBlue.m_nDown & 0xFF, kColorsOnDark.m_nDown & 0xFF);
}

TEST(ThemeLineColors, EveryColourOfAGridOfAccentsGetsAReadableDistinctPair) {
  int nChecked = 0;
  for (std::uint32_t r = 0; r < 256; r += 15) {
    for (std::uint32_t g = 0; g < 256; g += 15) {
      for (std::uint32_t b = 0; b < 256; b += 15) {
        const std::uint32_t nAccent = (r << 16) | (g << 8) | b;
        const LineColors colors = ThemeLineColors({false, true, nAccent});
        ASSERT_GE(ContrastRatio(colors.m_nDown, nAccent), kMinContrast) << std::hex << nAccent;
        ASSERT_GE(ContrastRatio(colors.m_nUp, nAccent), kMinContrast) << std::hex << nAccent;
        ASSERT_NE(colors.m_nDown, colors.m_nUp) << std::hex << nAccent;
        ASSERT_EQ((colors.m_nDown | colors.m_nUp) >> 24, 0u) << std::hex << nAccent;
        ++nChecked;
      }
    }
  }
  EXPECT_EQ(nChecked, 18 * 18 * 18);
}

}  // namespace
