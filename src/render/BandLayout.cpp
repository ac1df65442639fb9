#include "render/BandLayout.h"

#include <algorithm>

namespace {

constexpr float kTextBottomGap = 2.0f;
constexpr float kTrackInset = 3.0f;  // from the bottom of a line's half
constexpr float kTrackHeight = 2.0f;
constexpr float kTrackRightGap = 2.0f;
constexpr float kArrowHalfHeight = 5.5f;

float BarFraction(std::int64_t nRate, std::int64_t nMax) noexcept {
  return std::min(1.0f, static_cast<float>(nRate) / static_cast<float>(nMax));
}

BOOL HasBar(std::int64_t nRate, std::int64_t nMax) noexcept {
  return (nMax > 0 && nRate >= 0) ? TRUE : FALSE;
}

}  // namespace

LayoutColor ColorFromColorRef(COLORREF cr) noexcept {
  const auto channel = [cr](int nShift) {
    return static_cast<float>(static_cast<unsigned char>((cr >> nShift) & 0xFF)) / 255.0f;
  };
  return {channel(0), channel(8), channel(16), 1.0f};
}

ArrowShape ComputeArrow(float y0, BOOL bPointsUp) noexcept {
  ArrowShape arrow{};
  arrow.m_bPointsUp = bPointsUp ? TRUE : FALSE;
  if (bPointsUp) {
    arrow.m_vertices = {{{9, y0},
                         {14, y0 + 5},
                         {11, y0 + 5},
                         {11, y0 + 11},
                         {6, y0 + 11},
                         {6, y0 + 5},
                         {3, y0 + 5},
                         {8, y0}}};
  } else {
    arrow.m_vertices = {{{9, y0 + 11},
                         {14, y0 + 6},
                         {11, y0 + 6},
                         {11, y0},
                         {6, y0},
                         {6, y0 + 6},
                         {3, y0 + 6},
                         {8, y0 + 11}}};
  }
  return arrow;
}

BandLayout ComputeBandLayout(const RECT& rcClient, const TrafficState& state) noexcept {
  BandLayout layout{};
  const float w = static_cast<float>(rcClient.right - rcClient.left);
  const float h = static_cast<float>(rcClient.bottom - rcClient.top);
  const float c = h * 0.5f;
  const float x0 = kArrowColumnWidth;
  layout.m_fWidth = w;
  layout.m_fHeight = h;

  layout.m_upperText = {x0, 0.0f, w, c - kTextBottomGap};
  layout.m_lowerText = {x0, c, w, h - kTextBottomGap};

  const float upperTrackTop = c - kTrackInset;
  const float lowerTrackTop = h - kTrackInset;
  layout.m_upperTrack = {x0, upperTrackTop, w - kTrackRightGap, upperTrackTop + kTrackHeight};
  layout.m_lowerTrack = {x0, lowerTrackTop, w - kTrackRightGap, lowerTrackTop + kTrackHeight};

  const float barSpan = (w - x0) - kTrackRightGap;
  layout.m_bUpperBar = HasBar(state.m_nRateUpper, state.m_nMaxUpper);
  if (layout.m_bUpperBar) {
    const float right = BarFraction(state.m_nRateUpper, state.m_nMaxUpper) * barSpan + x0;
    layout.m_upperBar = {x0, upperTrackTop, right, upperTrackTop + kTrackHeight};
  }
  layout.m_bLowerBar = HasBar(state.m_nRateLower, state.m_nMaxLower);
  if (layout.m_bLowerBar) {
    const float right = BarFraction(state.m_nRateLower, state.m_nMaxLower) * barSpan + x0;
    layout.m_lowerBar = {x0, lowerTrackTop, right, lowerTrackTop + kTrackHeight};
  }

  const BOOL bFlipped = state.m_bArrowsFlipped ? TRUE : FALSE;
  layout.m_upperArrow = ComputeArrow(c * 0.5f - kArrowHalfHeight, bFlipped ? FALSE : TRUE);
  layout.m_lowerArrow = ComputeArrow((c * 0.5f + c) - kArrowHalfHeight, bFlipped);
  return layout;
}

FramePlan PlanFrame(const BandLayout& layout, BOOL bUpperBrush, BOOL bLowerBrush,
                    BOOL bTrackBrush) noexcept {
  FramePlan plan{};
  const auto add = [&plan](FrameItem item) { plan.m_items[plan.m_nItems++] = item; };
  if (bUpperBrush) {
    add({FrameItemKind::Text, FrameBrush::Upper, TRUE, &layout.m_upperText, nullptr});
  }
  if (bLowerBrush) {
    add({FrameItemKind::Text, FrameBrush::Lower, FALSE, &layout.m_lowerText, nullptr});
  }
  if (bTrackBrush) {
    add({FrameItemKind::Rectangle, FrameBrush::Track, TRUE, &layout.m_upperTrack, nullptr});
    add({FrameItemKind::Rectangle, FrameBrush::Track, FALSE, &layout.m_lowerTrack, nullptr});
  }
  if (bUpperBrush && layout.m_bUpperBar) {
    add({FrameItemKind::Rectangle, FrameBrush::Upper, TRUE, &layout.m_upperBar, nullptr});
  }
  if (bLowerBrush && layout.m_bLowerBar) {
    add({FrameItemKind::Rectangle, FrameBrush::Lower, FALSE, &layout.m_lowerBar, nullptr});
  }
  if (bUpperBrush) {
    add({FrameItemKind::Arrow, FrameBrush::Upper, TRUE, nullptr, &layout.m_upperArrow});
  }
  if (bLowerBrush) {
    add({FrameItemKind::Arrow, FrameBrush::Lower, FALSE, nullptr, &layout.m_lowerArrow});
  }
  return plan;
}
