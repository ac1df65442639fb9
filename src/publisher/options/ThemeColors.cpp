#include "publisher/options/ThemeColors.h"

#include <cmath>
#include <initializer_list>

namespace {

double Linear(std::uint32_t nChannel) noexcept {
  const double c = static_cast<double>(nChannel) / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

std::uint32_t Channel(std::uint32_t nRgb, int nShift) noexcept { return (nRgb >> nShift) & 0xFF; }

// Each channel moved nStep/255 of the way to nTarget (0x00 or 0xFF).
std::uint32_t MixTowards(std::uint32_t nRgb, std::uint32_t nTarget, std::uint32_t nStep) noexcept {
  std::uint32_t nMixed = 0;
  for (const int nShift : {16, 8, 0}) {
    const std::uint32_t c = Channel(nRgb, nShift);
    const std::uint32_t m = nTarget > c ? c + ((nTarget - c) * nStep + 127) / 255
                                        : c - ((c - nTarget) * nStep + 127) / 255;
    nMixed |= m << nShift;
  }
  return nMixed;
}

std::uint32_t Readable(std::uint32_t nRgb, std::uint32_t nBackground,
                       std::uint32_t nTarget) noexcept {
  for (std::uint32_t nStep = 0; nStep < 255; ++nStep) {
    const std::uint32_t nMixed = MixTowards(nRgb, nTarget, nStep);
    if (ContrastRatio(nMixed, nBackground) >= kMinContrast) {
      return nMixed;
    }
  }
  return nTarget == 0 ? 0x000000 : 0xFFFFFF;
}

}  // namespace

double RelativeLuminance(std::uint32_t nRgb) noexcept {
  return 0.2126 * Linear(Channel(nRgb, 16)) + 0.7152 * Linear(Channel(nRgb, 8)) +
         0.0722 * Linear(Channel(nRgb, 0));
}

double ContrastRatio(std::uint32_t nRgbA, std::uint32_t nRgbB) noexcept {
  const double a = RelativeLuminance(nRgbA);
  const double b = RelativeLuminance(nRgbB);
  return a > b ? (a + 0.05) / (b + 0.05) : (b + 0.05) / (a + 0.05);
}

bool ShowsAccent(const TaskbarTheme& theme) noexcept { return theme.m_bAccent && !theme.m_bLight; }

std::uint32_t TaskbarColor(const TaskbarTheme& theme) noexcept {
  if (ShowsAccent(theme)) {
    return theme.m_nAccent & 0xFFFFFF;
  }
  return theme.m_bLight ? kLightTaskbar : kDarkTaskbar;
}

LineColors ThemeLineColors(const TaskbarTheme& theme) noexcept {
  if (!ShowsAccent(theme)) {
    return theme.m_bLight ? kColorsOnLight : kColorsOnDark;
  }
  const std::uint32_t nAccent = TaskbarColor(theme);
  const bool bLightText = ContrastRatio(0xFFFFFF, nAccent) >= ContrastRatio(0x000000, nAccent);
  const LineColors base = bLightText ? kColorsOnDark : kColorsOnLight;
  const std::uint32_t nTarget = bLightText ? 0xFF : 0x00;
  return {Readable(base.m_nDown, nAccent, nTarget), Readable(base.m_nUp, nAccent, nTarget)};
}
