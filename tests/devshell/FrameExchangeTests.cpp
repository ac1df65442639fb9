// The frame hand-over between the composition stand-in and the development
// taskbar: what a reader takes from a section it cannot trust, and how a
// frame is laid over the taskbar's pixels.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "devshell/FrameExchange.h"

namespace {

constexpr std::uint64_t kWindow = 0x1004C;

// A section's worth of memory, 8-byte aligned like a mapped view.
struct Section {
  explicit Section(std::size_t cb = kFrameSectionBytes) : m_words((cb + 7) / 8), m_cb(cb) {}
  void* View() { return m_words.data(); }
  FrameHeader& Header() { return *static_cast<FrameHeader*>(View()); }
  std::vector<std::uint64_t> m_words;
  std::size_t m_cb;
};

std::vector<std::uint32_t> Pattern(std::size_t nCount) {
  std::vector<std::uint32_t> pixels(nCount);
  for (std::size_t i = 0; i < nCount; ++i) {
    pixels[i] = 0x80000000u | static_cast<std::uint32_t>(i);
  }
  return pixels;
}

TEST(FrameExchangeTest, SectionNamesCarryTheWholeWindowValue) {
  EXPECT_EQ(FrameSectionName(0x1004C), L"NimbrelStandInFrame-000000000001004c");
  EXPECT_EQ(FrameSectionName(0xFFFFFFFF00000001ull), L"NimbrelStandInFrame-ffffffff00000001");
}

TEST(FrameExchangeTest, AFrameWrittenWithARowPitchIsReadBackTightlyPacked) {
  Section section;
  const std::vector<std::uint32_t> source = Pattern(5 * 3);  // 3 rows of 4 pixels, pitch 5
  ASSERT_TRUE(WriteFrame(section.View(), section.m_cb, kWindow, 4, 3, source.data(), 5));
  FrameImage frame;
  ASSERT_TRUE(ReadFrame(section.View(), section.m_cb, kWindow, frame));
  EXPECT_EQ(frame.m_nWidth, 4u);
  EXPECT_EQ(frame.m_nHeight, 3u);
  EXPECT_EQ(frame.m_nSequence % 2, 0u);
  ASSERT_EQ(frame.m_pixels.size(), 12u);
  for (std::uint32_t y = 0; y < 3; ++y) {
    for (std::uint32_t x = 0; x < 4; ++x) {
      EXPECT_EQ(frame.m_pixels[y * 4 + x], source[y * 5 + x]) << x << "," << y;
    }
  }
}

TEST(FrameExchangeTest, EachWriteAdvancesTheSequence) {
  Section section;
  const std::vector<std::uint32_t> source = Pattern(4);
  FrameImage first;
  FrameImage second;
  ASSERT_TRUE(WriteFrame(section.View(), section.m_cb, kWindow, 2, 2, source.data(), 2));
  ASSERT_TRUE(ReadFrame(section.View(), section.m_cb, kWindow, first));
  ASSERT_TRUE(WriteFrame(section.View(), section.m_cb, kWindow, 2, 2, source.data(), 2));
  ASSERT_TRUE(ReadFrame(section.View(), section.m_cb, kWindow, second));
  EXPECT_GT(second.m_nSequence, first.m_nSequence);
}

TEST(FrameExchangeTest, FramesThatDoNotFitAreNotWritten) {
  const std::vector<std::uint32_t> source = Pattern(std::size_t{kMaxFrameWidth + 1} * 2);
  struct Case {
    std::uint32_t nWidth;
    std::uint32_t nHeight;
    std::size_t nPitch;
    std::size_t cbView;
  };
  const Case cases[] = {
      {0, 2, 2, kFrameSectionBytes},                                    // empty
      {2, 0, 2, kFrameSectionBytes},                                    // empty
      {kMaxFrameWidth + 1, 1, kMaxFrameWidth + 1, kFrameSectionBytes},  // too wide
      {1, kMaxFrameHeight + 1, 1, kFrameSectionBytes},                  // too high
      {4, 4, 3, kFrameSectionBytes},                                    // rows overlap
      {4, 4, 4, kFramePixelsOffset + 4 * 4 * 4 - 1},                    // view one byte short
  };
  for (const Case& c : cases) {
    Section section;
    EXPECT_FALSE(
        WriteFrame(section.View(), c.cbView, kWindow, c.nWidth, c.nHeight, source.data(), c.nPitch))
        << c.nWidth << "x" << c.nHeight;
    EXPECT_EQ(section.Header().m_nMagic, 0u) << "nothing written";
  }
}

// What another process left in the section decides nothing it cannot back up.
TEST(FrameExchangeTest, AReaderRefusesSectionsItCannotTrust) {
  const std::vector<std::uint32_t> source = Pattern(16);
  struct Case {
    const char* pszWhat;
    void (*pfnSpoil)(FrameHeader&);
    std::size_t cbView;
    std::uint64_t nWindow;
  };
  const Case cases[] = {
      {"another window's frame", [](FrameHeader&) {}, kFrameSectionBytes, kWindow + 1},
      {"no frame at all", [](FrameHeader& h) { h.m_nMagic = 0; }, kFrameSectionBytes, kWindow},
      {"claims more rows than the view holds",
       [](FrameHeader& h) { h.m_nHeight = kMaxFrameHeight; }, kFramePixelsOffset + 64, kWindow},
      {"claims a width beyond the limit", [](FrameHeader& h) { h.m_nWidth = kMaxFrameWidth + 1; },
       kFrameSectionBytes, kWindow},
      {"claims a zero width", [](FrameHeader& h) { h.m_nWidth = 0; }, kFrameSectionBytes, kWindow},
      {"is being written", [](FrameHeader& h) { h.m_nSequence |= 1; }, kFrameSectionBytes, kWindow},
      {"view smaller than the header", [](FrameHeader&) {}, kFramePixelsOffset - 1, kWindow},
  };
  for (const Case& c : cases) {
    Section section;
    ASSERT_TRUE(WriteFrame(section.View(), section.m_cb, kWindow, 4, 4, source.data(), 4));
    c.pfnSpoil(section.Header());
    FrameImage frame;
    EXPECT_FALSE(ReadFrame(section.View(), c.cbView, c.nWindow, frame)) << c.pszWhat;
    EXPECT_TRUE(frame.m_pixels.empty()) << c.pszWhat;
  }
}

TEST(FrameExchangeTest, PremultipliedPixelsOverAnOpaqueBackground) {
  struct Case {
    std::uint32_t nPixel;
    std::uint32_t nBackground;
    std::uint32_t nExpected;
  };
  const Case cases[] = {
      {0x00000000, 0xFF202020, 0xFF202020},             // transparent: the taskbar shows
      {0x00000000, 0x00202020, 0xFF202020},             // the result is opaque whatever came in
      {0xFF4E9AE6, 0xFF202020, 0xFF4E9AE6},             // opaque: the frame's own colour
      {0x80400000, 0xFF000000 | 0x00FF00, 0xFF407F00},  // half red-ish over green
      {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},             // no overflow past 255
      {0x80FFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},             // a bad premultiplied value saturates
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OverOpaque(c.nPixel, c.nBackground), c.nExpected)
        << std::hex << c.nPixel << " over " << c.nBackground;
  }
}

TEST(FrameExchangeTest, AFrameIsLaidOverTheImageWithinTheImageAndTheWindow) {
  constexpr std::uint32_t kBack = 0xFF202020;
  constexpr std::uint32_t kInk = 0xFF00FF00;
  FrameImage frame;
  frame.m_nWidth = 3;
  frame.m_nHeight = 2;
  frame.m_pixels.assign(6, kInk);
  struct Case {
    const char* pszWhat;
    int x;
    int y;
    int nClipWidth;
    int nClipHeight;
    int nInked;  // pixels of the 6x4 image that change
  };
  const Case cases[] = {
      {"inside", 1, 1, 3, 2, 6},
      {"window narrower than the frame", 1, 1, 2, 2, 4},
      {"window of no size", 1, 1, 0, -3, 0},
      {"past the right edge", 5, 0, 3, 2, 2},
      {"above the top edge", 0, -1, 3, 2, 3},
      {"left of the image", -3, 0, 3, 2, 0},
      {"below the image", 0, 4, 3, 2, 0},
  };
  for (const Case& c : cases) {
    std::vector<std::uint32_t> pixels(6 * 4, kBack);
    ComposeFrame({6, 4, pixels.data()}, frame, c.x, c.y, c.nClipWidth, c.nClipHeight);
    int nInked = 0;
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 6; ++x) {
        const bool bInside = x >= c.x && x < c.x + std::min(3, c.nClipWidth) && y >= c.y &&
                             y < c.y + std::min(2, c.nClipHeight);
        EXPECT_EQ(pixels[y * 6 + x], bInside ? kInk : kBack)
            << c.pszWhat << " at " << x << "," << y;
        nInked += pixels[y * 6 + x] == kInk ? 1 : 0;
      }
    }
    EXPECT_EQ(nInked, c.nInked) << c.pszWhat;
  }
}

}  // namespace
