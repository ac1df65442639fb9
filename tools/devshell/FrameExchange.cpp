#include "devshell/FrameExchange.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

namespace {

constexpr int kReadAttempts = 4;

// The header's sequence, shared with another process.
[[nodiscard]] std::atomic_ref<std::uint64_t> SequenceOf(FrameHeader& header) noexcept {
  return std::atomic_ref<std::uint64_t>(header.m_nSequence);
}

[[nodiscard]] bool Fits(std::uint32_t nWidth, std::uint32_t nHeight, std::size_t cbView) noexcept {
  if (nWidth == 0 || nHeight == 0 || nWidth > kMaxFrameWidth || nHeight > kMaxFrameHeight) {
    return false;
  }
  return cbView >= kFramePixelsOffset &&
         (cbView - kFramePixelsOffset) / 4 / nWidth >= std::size_t{nHeight};
}

}  // namespace

std::wstring FrameSectionName(std::uint64_t nWindow) {
  static constexpr wchar_t kHex[] = L"0123456789abcdef";
  std::wstring name = kFrameSectionPrefix;
  for (int nShift = 60; nShift >= 0; nShift -= 4) {
    name += kHex[(nWindow >> nShift) & 0xF];
  }
  return name;
}

bool WriteFrame(void* pView, std::size_t cbView, std::uint64_t nWindow, std::uint32_t nWidth,
                std::uint32_t nHeight, const std::uint32_t* pPixels, std::size_t nPitch) noexcept {
  if (pView == nullptr || pPixels == nullptr || nPitch < nWidth || !Fits(nWidth, nHeight, cbView)) {
    return false;
  }
  auto& header = *static_cast<FrameHeader*>(pView);
  auto sequence = SequenceOf(header);
  const std::uint64_t nBefore = sequence.load(std::memory_order_relaxed) | 1;
  sequence.store(nBefore, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  header.m_nMagic = kFrameMagic;
  header.m_nWidth = nWidth;
  header.m_nHeight = nHeight;
  header.m_nWindow = nWindow;
  auto* pOut = reinterpret_cast<std::uint32_t*>(static_cast<char*>(pView) + kFramePixelsOffset);
  for (std::uint32_t y = 0; y < nHeight; ++y) {
    std::memcpy(pOut + std::size_t{y} * nWidth, pPixels + y * nPitch, std::size_t{nWidth} * 4);
  }
  sequence.store(nBefore + 1, std::memory_order_release);
  return true;
}

bool ReadFrame(const void* pView, std::size_t cbView, std::uint64_t nWindow, FrameImage& frame) {
  if (pView == nullptr || cbView < kFramePixelsOffset) {
    return false;
  }
  // The writer only ever stores into the sequence; reading it atomically
  // needs a non-const reference.
  auto& header = *static_cast<FrameHeader*>(const_cast<void*>(pView));
  auto sequence = SequenceOf(header);
  for (int nAttempt = 0; nAttempt < kReadAttempts; ++nAttempt) {
    const std::uint64_t nBefore = sequence.load(std::memory_order_acquire);
    if (nBefore % 2 != 0) {
      std::this_thread::yield();
      continue;
    }
    const std::uint32_t nMagic = header.m_nMagic;
    const std::uint32_t nWidth = header.m_nWidth;
    const std::uint32_t nHeight = header.m_nHeight;
    const std::uint64_t nOwner = header.m_nWindow;
    if (nMagic != kFrameMagic || nOwner != nWindow || !Fits(nWidth, nHeight, cbView)) {
      break;
    }
    frame.m_pixels.resize(std::size_t{nWidth} * nHeight);
    std::memcpy(frame.m_pixels.data(), static_cast<const char*>(pView) + kFramePixelsOffset,
                frame.m_pixels.size() * 4);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (sequence.load(std::memory_order_relaxed) == nBefore) {
      frame.m_nWidth = nWidth;
      frame.m_nHeight = nHeight;
      frame.m_nSequence = nBefore;
      return true;
    }
  }
  frame = FrameImage{};
  return false;
}

std::uint32_t OverOpaque(std::uint32_t premultiplied, std::uint32_t background) noexcept {
  const std::uint32_t a = premultiplied >> 24;
  std::uint32_t out = 0xFF000000;
  for (int nShift = 0; nShift < 24; nShift += 8) {
    const std::uint32_t s = (premultiplied >> nShift) & 0xFF;
    const std::uint32_t d = (background >> nShift) & 0xFF;
    out |= std::min<std::uint32_t>(255, s + (d * (255 - a) + 127) / 255) << nShift;
  }
  return out;
}

void ComposeFrame(const OpaqueImage& image, const FrameImage& frame, int x, int y, int nClipWidth,
                  int nClipHeight) noexcept {
  const long long nWidth = std::min<long long>(frame.m_nWidth, std::max(nClipWidth, 0));
  const long long nHeight = std::min<long long>(frame.m_nHeight, std::max(nClipHeight, 0));
  const long long nLeft = std::max<long long>(x, 0);
  const long long nTop = std::max<long long>(y, 0);
  const long long nRight = std::min<long long>(x + nWidth, image.m_nWidth);
  const long long nBottom = std::min<long long>(y + nHeight, image.m_nHeight);
  for (long long row = nTop; row < nBottom; ++row) {
    std::uint32_t* pOut = image.m_pPixels + row * image.m_nWidth;
    const std::uint32_t* pIn = frame.m_pixels.data() + (row - y) * frame.m_nWidth;
    for (long long col = nLeft; col < nRight; ++col) {
      pOut[col] = OverOpaque(pIn[col - x], pOut[col]);
    }
  }
}
