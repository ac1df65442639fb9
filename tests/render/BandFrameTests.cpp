#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <string>
#include <utility>

#include "support/RendererDoubles.h"
#include "support/TestSupport.h"
#include "feed/FormatRate.h"
#include "render/BandFrame.h"
#include "render/BandLayout.h"
#include "render/ComSlot.h"

namespace {

constexpr COLORREF kUpper = 0x0044E47E;  // red 126, green 228, blue 68
constexpr COLORREF kLower = 0x00E69A4E;  // red 78, green 154, blue 230

struct Rgba {
  int r;
  int g;
  int b;
  int a;
};

Rgba Unpack(std::uint32_t p) {
  return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
          static_cast<int>(p & 0xFF), static_cast<int>(p >> 24)};
}

Rgba FromColorRef(COLORREF cr) {
  return {static_cast<int>(cr & 0xFF), static_cast<int>((cr >> 8) & 0xFF),
          static_cast<int>((cr >> 16) & 0xFF), 255};
}

// The colour a premultiplied pixel stands for, compared within a tolerance.
bool HasColor(std::uint32_t p, Rgba expected, int nTolerance) {
  const Rgba c = Unpack(p);
  if (c.a == 0) {
    return false;
  }
  const auto channel = [&](int v, int e) {
    const int unpremultiplied = (v * 255 + c.a / 2) / c.a;
    return std::abs(unpremultiplied - e) <= nTolerance;
  };
  return channel(c.r, expected.r) && channel(c.g, expected.g) && channel(c.b, expected.b);
}

bool IsOpaqueColor(std::uint32_t p, Rgba expected) {
  return Unpack(p).a >= 250 && HasColor(p, expected, 3);
}

TrafficState State(std::int64_t rateUpper, std::int64_t maxUpper, std::int64_t rateLower,
                   std::int64_t maxLower) {
  TrafficState s;
  s.m_bHasData = TRUE;
  s.m_nRateUpper = rateUpper;
  s.m_nMaxUpper = maxUpper;
  s.m_nRateLower = rateLower;
  s.m_nMaxLower = maxLower;
  s.m_crUpper = kUpper;
  s.m_crLower = kLower;
  return s;
}

// A band frame drawn for real into a double's buffer and read back.
struct Frame : RendererOnDoubles {
  wchar_t szUpper[kRateTextChars] = L"untouched";
  wchar_t szLower[kRateTextChars] = L"untouched";
  PixelImage image;

  explicit Frame(int cx = 95, int cy = 38) : RendererOnDoubles(cx, cy) {
    EXPECT_TRUE(Initialize());
  }

  void Draw(const TrafficState& state) {
    DrawBandFrame(renderer, window.Handle(), state, szUpper, szLower);
    EXPECT_TRUE(ReadBackPixels(renderer, image));
  }

  // The same text drawn alone, the way the frame draws it.
  PixelImage DrawTextAlone(const wchar_t* pszText, const LayoutRect& box, COLORREF cr) {
    ID2D1DeviceContext* pContext = renderer.D2DContext();
    IDWriteTextFormat* pFormat = nullptr;
    ID2D1SolidColorBrush* pBrush = nullptr;
    pContext->BeginDraw();
    pContext->Clear(D2D1::ColorF(0, 0, 0, 0));
    EXPECT_TRUE(SUCCEEDED(renderer.DWriteFactory()->CreateTextFormat(
        L"Segoe UI", nullptr, DWRITE_FONT_WEIGHT_MEDIUM, DWRITE_FONT_STYLE_NORMAL,
        DWRITE_FONT_STRETCH_NORMAL, 11.0f, L"de-DE", &pFormat)));
    pFormat->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
    pFormat->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
    const LayoutColor color = ColorFromColorRef(cr);
    pContext->CreateSolidColorBrush(D2D1::ColorF(color.r, color.g, color.b, color.a), &pBrush);
    pContext->DrawText(pszText, static_cast<UINT32>(std::wcslen(pszText)), pFormat,
                       D2D1::RectF(box.left, box.top, box.right, box.bottom), pBrush);
    EXPECT_TRUE(renderer.EndFrame());
    EmptySlot(pBrush);
    EmptySlot(pFormat);
    PixelImage alone;
    EXPECT_TRUE(ReadBackPixels(renderer, alone));
    return alone;
  }

  [[nodiscard]] BandLayout Layout(const TrafficState& state) const {
    return ComputeBandLayout(
        RECT{0, 0, static_cast<LONG>(image.m_nWidth), static_cast<LONG>(image.m_nHeight)}, state);
  }
};

// --- geometry helpers ------------------------------------------------------

bool Inside(const ArrowShape& arrow, float x, float y) {
  bool bInside = false;
  for (std::size_t i = 0, j = arrow.m_vertices.size() - 1; i < arrow.m_vertices.size(); j = i++) {
    const LayoutPoint& a = arrow.m_vertices[i];
    const LayoutPoint& b = arrow.m_vertices[j];
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) {
      bInside = !bInside;
    }
  }
  return bInside;
}

float DistanceToOutline(const ArrowShape& arrow, float x, float y) {
  float best = 1e9f;
  for (std::size_t i = 0; i < arrow.m_vertices.size(); ++i) {
    const LayoutPoint& a = arrow.m_vertices[i];
    const LayoutPoint& b = arrow.m_vertices[(i + 1) % arrow.m_vertices.size()];
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    const float t = std::clamp(((x - a.x) * dx + (y - a.y) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    best = std::min(best, std::hypot(x - (a.x + t * dx), y - (a.y + t * dy)));
  }
  return best;
}

// A pixel square that lies wholly inside the polygon.
bool PixelInside(const ArrowShape& arrow, UINT px, UINT py) {
  for (int sy = 0; sy <= 4; ++sy) {
    for (int sx = 0; sx <= 4; ++sx) {
      if (!Inside(arrow, static_cast<float>(px) + 0.05f + 0.225f * static_cast<float>(sx),
                  static_cast<float>(py) + 0.05f + 0.225f * static_cast<float>(sy))) {
        return false;
      }
    }
  }
  return true;
}

// A pixel square that the polygon touches at all.
bool PixelTouches(const ArrowShape& arrow, UINT px, UINT py) {
  const float cx = static_cast<float>(px) + 0.5f;
  const float cy = static_cast<float>(py) + 0.5f;
  return Inside(arrow, cx, cy) || DistanceToOutline(arrow, cx, cy) <= 0.71f;
}

bool PixelTouches(const LayoutRect& r, UINT px, UINT py, float margin = 0.0f) {
  const float x = static_cast<float>(px);
  const float y = static_cast<float>(py);
  return x + 1 > r.left - margin && x < r.right + margin && y + 1 > r.top - margin &&
         y < r.bottom + margin;
}

// Pixels of the given colour on one row from x = 18, and where the run ends.
int RunOfColor(const PixelImage& image, UINT y, Rgba color) {
  UINT x = 18;
  while (x < image.m_nWidth && IsOpaqueColor(image.At(x, y), color)) {
    ++x;
  }
  return static_cast<int>(x) - 18;
}

const Rgba kGrey{64, 64, 64, 255};  // 0.25 of 255, rounded

}  // namespace

// --- what a frame leaves transparent ------------------------------------------

TEST(BandFramePixels, BackgroundStaysFullyTransparentOutsideTheItems) {
  static const TrafficState states[] = {State(3, 4, 1, 4), TrafficState{}, State(9, 4, 0, 4)};
  for (const TrafficState& state : states) {
    Frame f;
    f.Draw(state);
    const BandLayout layout = f.Layout(state);
    int nChecked = 0;
    for (UINT y = 0; y < f.image.m_nHeight; ++y) {
      for (UINT x = 0; x < f.image.m_nWidth; ++x) {
        const bool bItem =
            PixelTouches(layout.m_upperText, x, y) || PixelTouches(layout.m_lowerText, x, y) ||
            PixelTouches(layout.m_upperTrack, x, y) || PixelTouches(layout.m_lowerTrack, x, y) ||
            PixelTouches(layout.m_upperArrow, x, y) || PixelTouches(layout.m_lowerArrow, x, y);
        if (!bItem) {
          ++nChecked;
          EXPECT_EQ(Unpack(f.image.At(x, y)).a, 0) << "at " << x << ", " << y;
        }
      }
    }
    EXPECT_GT(nChecked, 300);  // the arrow column around and between the arrows
  }
}

TEST(BandFramePixels, EachFrameStartsFromAClearSurface) {
  Frame f;
  f.Draw(State(4, 4, 4, 4));
  f.Draw(State(0, 0, 0, 0));
  // The full bars of the first frame are gone; only the grey tracks remain.
  EXPECT_EQ(RunOfColor(f.image, 16, kGrey), 75);
  EXPECT_EQ(RunOfColor(f.image, 35, kGrey), 75);
}

// --- arrows ---------------------------------------------------------------

struct ArrowCase {
  const char* name;
  BOOL bFlipped;
};

class BandFrameArrows : public testing::TestWithParam<ArrowCase> {};

TEST_P(BandFrameArrows, FillTheirPolygonInTheirLineColour) {
  TrafficState state = State(1, 2, 1, 2);
  state.m_bArrowsFlipped = GetParam().bFlipped;
  Frame f;
  f.Draw(state);
  const BandLayout layout = f.Layout(state);
  const struct {
    const ArrowShape* pShape;
    Rgba color;
  } arrows[] = {{&layout.m_upperArrow, FromColorRef(kUpper)},
                {&layout.m_lowerArrow, FromColorRef(kLower)}};
  for (const auto& arrow : arrows) {
    int nFull = 0;
    for (UINT y = 0; y < f.image.m_nHeight; ++y) {
      for (UINT x = 0; x < 18; ++x) {
        const std::uint32_t p = f.image.At(x, y);
        if (PixelInside(*arrow.pShape, x, y)) {
          ++nFull;
          EXPECT_TRUE(IsOpaqueColor(p, arrow.color)) << "inside at " << x << ", " << y;
        } else if (Unpack(p).a != 0 && PixelTouches(*arrow.pShape, x, y)) {
          EXPECT_TRUE(HasColor(p, arrow.color, 12)) << "edge at " << x << ", " << y;
        }
      }
    }
    EXPECT_GE(nFull, 40);  // of the polygon's 60 square units
  }
}

TEST_P(BandFrameArrows, PointTheWayTheFlipFlagSays) {
  TrafficState state = State(1, 2, 1, 2);
  state.m_bArrowsFlipped = GetParam().bFlipped;
  Frame f;
  f.Draw(state);
  // Left of the shaft (x = 4), one unit above and below an arrow's middle row:
  // only the head is there, at the top for an up arrow, at the bottom for a down one.
  const auto pointsUp = [&f](UINT y0) {
    const bool bTop = Unpack(f.image.At(4, y0 + 4)).a > 200;
    const bool bBottom = Unpack(f.image.At(4, y0 + 6)).a > 200;
    EXPECT_NE(bTop, bBottom) << "arrow at y0 = " << y0;
    return bTop;
  };
  const bool bFlipped = GetParam().bFlipped != FALSE;
  EXPECT_EQ(pointsUp(4), !bFlipped);  // upper arrow, y0 = 19 * 0.5 - 5.5
  EXPECT_EQ(pointsUp(23), bFlipped);  // lower arrow, y0 = 28.5 - 5.5
}

INSTANTIATE_TEST_SUITE_P(Orientation, BandFrameArrows,
                         testing::Values(ArrowCase{"Plain", FALSE}, ArrowCase{"Flipped", TRUE}),
                         [](const testing::TestParamInfo<ArrowCase>& info) {
                           return std::string(info.param.name);
                         });

// --- tracks and bars --------------------------------------------------------

struct BarCase {
  const char* name;
  std::int64_t rate;
  std::int64_t max;
  float barEnd;  // 18 when there is no bar at all
};

class BandFrameBars : public testing::TestWithParam<BarCase> {};

// Pixels wholly left of the bar's end carry the line colour, pixels wholly
// right of it the track grey; the one pixel the end cuts may be either or a
// mix (Wine's Direct2D does not antialias rectangles, Windows' does).
TEST_P(BandFrameBars, RunAlongTheGreyTrackAsFarAsRateOverFullScale) {
  const BarCase& c = GetParam();
  Frame f;
  f.Draw(State(c.rate, c.max, c.rate, c.max));
  const struct {
    UINT y;
    Rgba color;
  } tracks[] = {{16, FromColorRef(kUpper)},
                {17, FromColorRef(kUpper)},
                {35, FromColorRef(kLower)},
                {36, FromColorRef(kLower)}};
  const int nWholeBar = static_cast<int>(std::floor(c.barEnd)) - 18;
  const int nWholeGrey = 93 - static_cast<int>(std::ceil(c.barEnd));
  for (const auto& track : tracks) {
    SCOPED_TRACE(testing::Message() << "row " << track.y);
    const int nBar = RunOfColor(f.image, track.y, track.color);
    EXPECT_GE(nBar, nWholeBar);
    EXPECT_LE(nBar, 93 - 18 - nWholeGrey);
    int nGrey = 0;
    for (UINT x = 18; x < 93; ++x) {
      const std::uint32_t p = f.image.At(x, track.y);
      EXPECT_EQ(Unpack(p).a, 255) << "at " << x;
      nGrey += IsOpaqueColor(p, kGrey) ? 1 : 0;
    }
    EXPECT_GE(nGrey, nWholeGrey);
    EXPECT_LE(nGrey, 93 - 18 - nWholeBar);
    EXPECT_EQ(Unpack(f.image.At(93, track.y)).a, 0);  // the track ends at W - 2
    EXPECT_EQ(Unpack(f.image.At(17, track.y)).a, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BandFrameBars,
    testing::Values(BarCase{"ThreeOfFourEndsAt74", 3, 4, 74.25f}, BarCase{"Full", 4, 4, 93},
                    BarCase{"AboveFullScale", 1000, 4, 93}, BarCase{"Half", 1, 2, 55.5f},
                    BarCase{"ZeroRate", 0, 4, 18}, BarCase{"NoFullScale", 3, 0, 18},
                    BarCase{"NegativeFullScale", 3, -1, 18}, BarCase{"NegativeRate", -1, 4, 18}),
    [](const testing::TestParamInfo<BarCase>& info) { return std::string(info.param.name); });

// --- texts ----------------------------------------------------------------

struct TextCase {
  const char* name;
  std::int64_t rateUpper;
  std::int64_t rateLower;
  BOOL bBitsMode;
};

class BandFrameTexts : public testing::TestWithParam<TextCase> {};

TEST_P(BandFrameTexts, AreTheFormattedRatesInsideTheirBoxesInTheirColours) {
  const TextCase& c = GetParam();
  TrafficState state = State(c.rateUpper, 100000, c.rateLower, 100000);
  state.m_bBitsMode = c.bBitsMode;
  Frame f;
  f.Draw(state);
  const PixelImage frame = f.image;
  const BandLayout layout = f.Layout(state);

  wchar_t szExpected[kRateTextChars] = {};
  const struct {
    std::int64_t rate;
    const wchar_t* pszBuffer;
    const LayoutRect* pBox;
    COLORREF cr;
    UINT yFrom;
    UINT yTo;  // rows above the line's track
  } lines[] = {{c.rateUpper, f.szUpper, &layout.m_upperText, kUpper, 0, 16},
               {c.rateLower, f.szLower, &layout.m_lowerText, kLower, 19, 35}};
  for (const auto& line : lines) {
    const std::wstring expected = FormatRate(line.rate, c.bBitsMode, szExpected);
    if (line.rate >= 0) {
      EXPECT_EQ(std::wstring(line.pszBuffer), expected);
    } else {
      EXPECT_EQ(expected, L"No Data");
      EXPECT_EQ(std::wstring(line.pszBuffer), L"untouched");
    }
    const PixelImage alone = f.DrawTextAlone(expected.c_str(), *line.pBox, line.cr);
    int nInk = 0;
    for (UINT y = line.yFrom; y < line.yTo; ++y) {
      for (UINT x = 18; x < frame.m_nWidth; ++x) {
        const std::uint32_t p = frame.At(x, y);
        EXPECT_EQ(p, alone.At(x, y)) << "at " << x << ", " << y;
        if (Unpack(p).a == 0) {
          continue;
        }
        ++nInk;
        EXPECT_TRUE(PixelTouches(*line.pBox, x, y));
        if (Unpack(p).a >= 128) {
          EXPECT_TRUE(HasColor(p, FromColorRef(line.cr), 40)) << "at " << x << ", " << y;
        }
      }
    }
    EXPECT_GT(nInk, 40);  // DirectWrite did draw glyphs
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, BandFrameTexts,
                         testing::Values(TextCase{"Bytes", 12345678, 2048, FALSE},
                                         TextCase{"Bits", 1250000, 125000, TRUE},
                                         TextCase{"NoDataOnNegativeRate", -1, 5000, FALSE},
                                         TextCase{"NoDataOnBothLines", -1, -1, TRUE}),
                         [](const testing::TestParamInfo<TextCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(BandFramePixels, NoDataStateShowsBothLinesTracksAndArrowsButNoBars) {
  Frame f;
  const TrafficState state;  // what the poll sets when the section is missing
  f.Draw(state);
  EXPECT_EQ(std::wstring(f.szUpper), L"untouched");
  EXPECT_EQ(std::wstring(f.szLower), L"untouched");
  EXPECT_EQ(RunOfColor(f.image, 16, kGrey), 75);
  EXPECT_EQ(RunOfColor(f.image, 35, kGrey), 75);
  EXPECT_GT(Unpack(f.image.At(4, 8)).a, 200);   // upper arrow points up
  EXPECT_GT(Unpack(f.image.At(4, 29)).a, 200);  // lower arrow points down
  EXPECT_TRUE(IsOpaqueColor(f.image.At(8, 10), FromColorRef(state.m_crUpper)));
  EXPECT_TRUE(IsOpaqueColor(f.image.At(8, 27), FromColorRef(state.m_crLower)));
}

// --- the frame as a whole ---------------------------------------------------

TEST(BandFrame, PresentsAndCommitsOncePerFrame) {
  Frame f;
  const int nCommits = f.doubles.Log().m_nCommits;
  for (int i = 1; i <= 3; ++i) {
    DrawBandFrame(f.renderer, f.window.Handle(), State(i, 4, 1, 4), f.szUpper, f.szLower);
    EXPECT_EQ(f.doubles.Log().m_nPresents, i);
    EXPECT_EQ(f.doubles.Log().m_nCommits, nCommits + i);
  }
}

TEST(BandFrame, ReleasesEveryObjectItMade) {
  Frame f;
  const auto count = [](IUnknown* p) {
    p->AddRef();
    return p->Release();
  };
  DrawBandFrame(f.renderer, f.window.Handle(), State(1, 4, 1, 4), f.szUpper, f.szLower);
  const ULONG nFactory = count(f.renderer.D2DFactory());
  const ULONG nContext = count(f.renderer.D2DContext());
  const ULONG nDevice = count(f.renderer.CurrentSlots().m_pD3DDevice);
  for (int i = 0; i < 5; ++i) {
    DrawBandFrame(f.renderer, f.window.Handle(), State(i, 4, 1, 4), f.szUpper, f.szLower);
  }
  // Brushes hold the context's factory, geometries the factory.
  EXPECT_EQ(count(f.renderer.D2DFactory()), nFactory);
  EXPECT_EQ(count(f.renderer.D2DContext()), nContext);
  EXPECT_EQ(count(f.renderer.CurrentSlots().m_pD3DDevice), nDevice);
}

namespace {

// IDWriteFactory::CreateTextFormat, made to fail or watched: method 15, after
// IUnknown's three and the factory's twelve before it.
constexpr std::size_t kCreateTextFormatMethod = 15;
const CCallPatch* g_pCreateTextFormat = nullptr;
bool g_bFailTextFormat = false;
IDWriteTextFormat* g_pLastTextFormat = nullptr;  // one reference of our own

HRESULT STDMETHODCALLTYPE WatchCreateTextFormat(IDWriteFactory* pFactory, const WCHAR* pszFamily,
                                                IDWriteFontCollection* pCollection,
                                                DWRITE_FONT_WEIGHT weight, DWRITE_FONT_STYLE style,
                                                DWRITE_FONT_STRETCH stretch, FLOAT fSize,
                                                const WCHAR* pszLocale,
                                                IDWriteTextFormat** ppFormat) {
  *ppFormat = nullptr;
  if (g_bFailTextFormat) {
    return E_OUTOFMEMORY;
  }
  using Fn = HRESULT(STDMETHODCALLTYPE*)(IDWriteFactory*, const WCHAR*, IDWriteFontCollection*,
                                         DWRITE_FONT_WEIGHT, DWRITE_FONT_STYLE, DWRITE_FONT_STRETCH,
                                         FLOAT, const WCHAR*, IDWriteTextFormat**);
  const HRESULT hr = g_pCreateTextFormat->Original<Fn>()(
      pFactory, pszFamily, pCollection, weight, style, stretch, fSize, pszLocale, ppFormat);
  if (*ppFormat != nullptr) {
    EmptySlot(g_pLastTextFormat);
    g_pLastTextFormat = *ppFormat;
    g_pLastTextFormat->AddRef();
  }
  return hr;
}

}  // namespace

// A frame whose text format cannot be made still ends (no BeginDraw is left
// open), formats nothing, and the format of a whole frame is not kept.
TEST(BandFrame, WithoutATextFormatTheFrameIsStillEndedAndNoFormatOutlivesItsFrame) {
  Frame f;
  const CCallPatch patch(f.renderer.DWriteFactory(), kCreateTextFormatMethod,
                         reinterpret_cast<const void*>(&WatchCreateTextFormat));
  g_pCreateTextFormat = &patch;
  g_bFailTextFormat = true;
  DrawBandFrame(f.renderer, f.window.Handle(), State(1, 4, 1, 4), f.szUpper, f.szLower);
  EXPECT_EQ(f.doubles.Log().m_nPresents, 1);
  EXPECT_EQ(std::wstring(f.szUpper), L"untouched");
  EXPECT_EQ(g_pLastTextFormat, nullptr);

  g_bFailTextFormat = false;
  f.Draw(State(4, 4, 4, 4));
  EXPECT_EQ(f.doubles.Log().m_nPresents, 2);
  EXPECT_EQ(RunOfColor(f.image, 16, FromColorRef(kUpper)), 75) << "a whole frame drawn again";
  ASSERT_NE(g_pLastTextFormat, nullptr);
  g_pLastTextFormat->AddRef();
  EXPECT_EQ(g_pLastTextFormat->Release(), 1u) << "held by nobody but this test";
  EmptySlot(g_pLastTextFormat);
}

// Each guard in turn: the member is taken away for one call and put back.
enum class Guard { DeviceContext, DirectWriteFactory, Initialized };

void Toggle(CCompositionRenderer& r, Guard guard, ID2D1DeviceContext*& pContext,
            IDWriteFactory*& pFactory) {
  switch (guard) {
    case Guard::DeviceContext:
      CRendererTestPeer::SwapD2DContext(r, pContext);
      break;
    case Guard::DirectWriteFactory:
      CRendererTestPeer::SwapDWriteFactory(r, pFactory);
      break;
    case Guard::Initialized:
      CRendererTestPeer::FlipInitialized(r);
      break;
  }
}

TEST(BandFrame, DrawsNothingWithoutAUsableSurface) {
  for (Guard guard : {Guard::DeviceContext, Guard::DirectWriteFactory, Guard::Initialized}) {
    SCOPED_TRACE(static_cast<int>(guard));
    Frame f;
    ID2D1DeviceContext* pContext = nullptr;
    IDWriteFactory* pFactory = nullptr;
    Toggle(f.renderer, guard, pContext, pFactory);
    DrawBandFrame(f.renderer, f.window.Handle(), State(1, 4, 1, 4), f.szUpper, f.szLower);
    Toggle(f.renderer, guard, pContext, pFactory);
    EXPECT_EQ(f.doubles.Log().m_nPresents, 0);
    EXPECT_EQ(std::wstring(f.szUpper), L"untouched");
    EXPECT_EQ(std::wstring(f.szLower), L"untouched");
    // Nothing was left half-open: the next frame draws normally.
    DrawBandFrame(f.renderer, f.window.Handle(), State(1, 4, 1, 4), f.szUpper, f.szLower);
    EXPECT_EQ(f.doubles.Log().m_nPresents, 1);
  }
}

TEST(BandFrame, OnAReleasedSurfaceMakesNoCall) {
  Frame f;
  f.renderer.ReleaseResources();
  const int nCalls = f.doubles.Log().m_nCalls;
  DrawBandFrame(f.renderer, f.window.Handle(), State(1, 4, 1, 4), f.szUpper, f.szLower);
  EXPECT_EQ(f.doubles.Log().m_nCalls, nCalls);
  EXPECT_EQ(std::wstring(f.szUpper), L"untouched");
}

TEST(BandFrame, FollowsTheWindowsClientSizeOfThisFrame) {
  Frame f(95, 38);
  f.window.SetClientSize(120, 30);
  f.renderer.Resize(120, 30);
  f.Draw(State(4, 4, 4, 4));
  ASSERT_EQ(f.image.m_nWidth, 120u);
  // c = 15: the upper track and full bar on rows 12-13, ending at 118.
  EXPECT_EQ(RunOfColor(f.image, 12, FromColorRef(kUpper)), 100);
  EXPECT_EQ(RunOfColor(f.image, 27, FromColorRef(kLower)), 100);
  EXPECT_EQ(Unpack(f.image.At(118, 12)).a, 0);
}
