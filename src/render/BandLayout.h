#pragma once
// Where everything of one band frame goes, as plain numbers: a fixed function
// of the client size and the values on display. The drawing code only carries
// this out, so the geometry is checked without any graphics interface.

#include <array>
#include <cstddef>
#include <cstdint>

#include "feed/PlatformTypes.h"
#include "feed/TrafficState.h"

// Same member layout as D2D1_RECT_F / D2D1_POINT_2F / D2D1_COLOR_F.
struct LayoutRect {
  float left;
  float top;
  float right;
  float bottom;
};

struct LayoutPoint {
  float x;
  float y;
};

struct LayoutColor {
  float r;
  float g;
  float b;
  float a;
};

inline constexpr float kArrowColumnWidth = 18.0f;  // the arrows live left of x = 18
inline constexpr float kTextEmSize = 11.0f;
inline constexpr LayoutColor kClearColor{0.0f, 0.0f, 0.0f, 0.0f};
inline constexpr LayoutColor kTrackColor{0.25f, 0.25f, 0.25f, 1.0f};

struct ArrowShape {
  BOOL m_bPointsUp;
  std::array<LayoutPoint, 8> m_vertices;  // figure starts at [0], closed back to it
};

struct BandLayout {
  float m_fWidth;
  float m_fHeight;
  LayoutRect m_upperText;
  LayoutRect m_lowerText;
  LayoutRect m_upperTrack;
  LayoutRect m_lowerTrack;
  BOOL m_bUpperBar;  // full scale > 0 and rate >= 0
  LayoutRect m_upperBar;
  BOOL m_bLowerBar;
  LayoutRect m_lowerBar;
  ArrowShape m_upperArrow;
  ArrowShape m_lowerArrow;
};

[[nodiscard]] LayoutColor ColorFromColorRef(COLORREF cr) noexcept;

// The arrow's 8 vertices with y0 its top; the down arrow mirrors the up arrow
// about y0 + 5.5.
[[nodiscard]] ArrowShape ComputeArrow(float fTop, BOOL bPointsUp) noexcept;

[[nodiscard]] BandLayout ComputeBandLayout(const RECT& rcClient,
                                           const TrafficState& state) noexcept;

// The brushes of one frame; each item is drawn only when its brush exists.
enum class FrameBrush : std::uint8_t { Upper, Lower, Track };

enum class FrameItemKind : std::uint8_t { Text, Rectangle, Arrow };

struct FrameItem {
  FrameItemKind m_kind;
  FrameBrush m_brush;
  BOOL m_bUpperLine;           // texts: which buffer; arrows: which shape
  const LayoutRect* m_pRect;   // texts and rectangles; points into the layout
  const ArrowShape* m_pArrow;  // arrows; points into the layout
};

struct FramePlan {
  std::array<FrameItem, 8> m_items;
  std::size_t m_nItems;
};

// The frame's items in drawing order (texts, tracks, bars, arrows) with the
// ones whose brush is missing or whose bar has no value left out. The plan
// points into layout, which must outlive it.
[[nodiscard]] FramePlan PlanFrame(const BandLayout& layout, BOOL bUpperBrush, BOOL bLowerBrush,
                                  BOOL bTrackBrush) noexcept;
