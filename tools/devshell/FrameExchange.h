#pragma once
// How the composition stand-in hands its frames to the development taskbar.
//
// Under Wine nothing that a process draws on a child window reaches the
// screen when the window's top-level parent belongs to another process, and
// the band is exactly that: a child of the taskbar's window. So the stand-in
// keeps each window's latest presented frame in a named section, and the
// development taskbar, which owns those pixels of the screen, lays the frame
// over its own pixels at the window's place, as the desktop compositor does
// on Windows.
//
// Only memory work here; opening and mapping the sections is FrameSection.
// The section comes from another process, so a reader trusts nothing in it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr wchar_t kFrameSectionPrefix[] = L"NimbrelStandInFrame-";
inline constexpr std::uint32_t kFrameMagic = 0x4D524653;  // "SFRM"
inline constexpr std::uint32_t kMaxFrameWidth = 2048;
inline constexpr std::uint32_t kMaxFrameHeight = 512;

// At offset 0 of the section; the pixels follow at kFramePixelsOffset.
struct FrameHeader {
  std::uint32_t m_nMagic;
  std::uint32_t m_nWidth;
  std::uint32_t m_nHeight;
  std::uint32_t m_nReserved;
  std::uint64_t m_nWindow;    // the window the frame belongs to
  std::uint64_t m_nSequence;  // odd while a frame is being written
};
inline constexpr std::size_t kFramePixelsOffset = 64;
inline constexpr std::size_t kFrameSectionBytes =
    kFramePixelsOffset + std::size_t{kMaxFrameWidth} * kMaxFrameHeight * 4;

// The section of the window with this handle value.
[[nodiscard]] std::wstring FrameSectionName(std::uint64_t nWindow);

// Premultiplied BGRA (blue in the low byte), row after row, no padding.
struct FrameImage {
  std::uint32_t m_nWidth = 0;
  std::uint32_t m_nHeight = 0;
  std::uint64_t m_nSequence = 0;
  std::vector<std::uint32_t> m_pixels;
};

// Stores a frame whose rows lie nPitch pixels apart; false, leaving the
// section as it was, when it is empty or does not fit.
bool WriteFrame(void* pView, std::size_t cbView, std::uint64_t nWindow, std::uint32_t nWidth,
                std::uint32_t nHeight, const std::uint32_t* pPixels, std::size_t nPitch) noexcept;

// A consistent copy of the frame for nWindow; false when the section holds
// none, holds another window's, claims more than it has, or keeps changing.
[[nodiscard]] bool ReadFrame(const void* pView, std::size_t cbView, std::uint64_t nWindow,
                             FrameImage& frame);

// A premultiplied pixel laid over an opaque one; the result is opaque.
[[nodiscard]] std::uint32_t OverOpaque(std::uint32_t premultiplied,
                                       std::uint32_t background) noexcept;

// An opaque picture that frames are laid over, row after row.
struct OpaqueImage {
  int m_nWidth = 0;
  int m_nHeight = 0;
  std::uint32_t* m_pPixels = nullptr;
};

// Lays the frame over the image with its top-left corner at (x, y), showing
// at most nClipWidth by nClipHeight of it (the window's client size) and
// nothing outside the image.
void ComposeFrame(const OpaqueImage& image, const FrameImage& frame, int x, int y, int nClipWidth,
                  int nClipHeight) noexcept;
