#pragma once
// What the X screen shows, read back through GDI, and written out as PNG.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Opaque pixels, 0xFFRRGGBB (blue in the low byte), row after row.
struct ScreenImage {
  int m_nWidth = 0;
  int m_nHeight = 0;
  std::vector<std::uint32_t> m_pixels;

  [[nodiscard]] std::uint32_t At(int x, int y) const noexcept {
    return m_pixels[static_cast<std::size_t>(y) * m_nWidth + x];
  }
};

// The screen inside rc (screen pixels); false when it cannot be read.
[[nodiscard]] bool CaptureScreen(const RECT& rc, ScreenImage& image) noexcept;

// nZoom times enlarged, each pixel a square; false when it cannot be written.
[[nodiscard]] bool SavePng(const std::wstring& path, const ScreenImage& image, int nZoom = 1);
