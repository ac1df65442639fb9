#pragma once
// The two line colours for the taskbar's look, when the user gave none: the
// band's text is drawn straight onto the taskbar, so it has to stand out
// from whatever colour the taskbar has (at least 4.5:1, WCAG's contrast for
// text), and up must still differ from down. Pure: the Windows side only
// reads the theme from the registry.

#include <cstdint>

// Colours as 0x00RRGGBB.
struct TaskbarTheme {
  bool m_bLight = false;  // SystemUsesLightTheme
  // ColorPrevalence: the accent colour on the taskbar, which Windows shows
  // only in dark mode (the switch is greyed out, not cleared, in light mode).
  bool m_bAccent = false;
  std::uint32_t m_nAccent = 0;
  bool operator==(const TaskbarTheme&) const = default;
};

struct LineColors {
  std::uint32_t m_nDown = 0;
  std::uint32_t m_nUp = 0;
  bool operator==(const LineColors&) const = default;
};

// The taskbar's colour in each look, as Windows 11 draws it without
// transparency; with the accent shown, the accent itself.
inline constexpr std::uint32_t kDarkTaskbar = 0x202020;
inline constexpr std::uint32_t kLightTaskbar = 0xF3F3F3;

// Light text for a dark taskbar (the colours the band always had), dark text
// for a light one.
inline constexpr LineColors kColorsOnDark{0x4E9AE6, 0x7EE444};
inline constexpr LineColors kColorsOnLight{0x005A9E, 0x0E6B0E};
inline constexpr double kMinContrast = 4.5;

[[nodiscard]] double RelativeLuminance(std::uint32_t nRgb) noexcept;
// (lighter + 0.05) / (darker + 0.05), from 1 to 21.
[[nodiscard]] double ContrastRatio(std::uint32_t nRgbA, std::uint32_t nRgbB) noexcept;
[[nodiscard]] bool ShowsAccent(const TaskbarTheme& theme) noexcept;
[[nodiscard]] std::uint32_t TaskbarColor(const TaskbarTheme& theme) noexcept;
// With the accent: the pair for the nearer of dark and light, each colour
// taken just far enough towards white (or black) to reach the contrast.
// Pure white or black reaches it on every colour, so there always is a pair.
[[nodiscard]] LineColors ThemeLineColors(const TaskbarTheme& theme) noexcept;
