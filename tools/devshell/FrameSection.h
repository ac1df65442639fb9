#pragma once
// The named sections of FrameExchange.h, opened for real.

#include <windows.h>

#include <cstdint>

#include "common/UniqueHandle.h"
#include "devshell/FrameExchange.h"

// The composition stand-in's side: one section for one window, from the
// moment the window gets a composition target until the target goes.
class CFrameSectionWriter {
 public:
  CFrameSectionWriter() noexcept = default;
  CFrameSectionWriter(const CFrameSectionWriter&) = delete;
  CFrameSectionWriter& operator=(const CFrameSectionWriter&) = delete;
  ~CFrameSectionWriter() { Close(); }

  // False when the section cannot be made. One still open for the window's
  // last target (a reader may hold it a moment longer) is taken over.
  [[nodiscard]] bool Open(HWND hWnd) noexcept;
  void Close() noexcept;
  [[nodiscard]] bool IsOpen() const noexcept { return static_cast<bool>(m_view); }
  [[nodiscard]] HWND Window() const noexcept { return m_hWnd; }

  // Stores the frame and asks the window's parent to show it again.
  bool Write(std::uint32_t nWidth, std::uint32_t nHeight, const std::uint32_t* pPixels,
             std::size_t nPitch) noexcept;

 private:
  HWND m_hWnd = nullptr;
  CUniqueHandle m_hSection;
  TUniqueWritableView<void> m_view;
};

// The development taskbar's side: the latest frame of a child window.
[[nodiscard]] bool ReadWindowFrame(HWND hWnd, FrameImage& frame);

// The window's rectangle in its parent's client coordinates.
[[nodiscard]] RECT RectInParent(HWND hWnd) noexcept;
