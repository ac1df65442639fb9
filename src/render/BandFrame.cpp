#include "render/BandFrame.h"

#include <cwchar>

#include "feed/FormatRate.h"
#include "render/BandLayout.h"
#include "render/ComSlot.h"

namespace {

D2D1_COLOR_F ToD2D(const LayoutColor& color) noexcept {
  return D2D1::ColorF(color.r, color.g, color.b, color.a);
}

D2D1_RECT_F ToD2D(const LayoutRect& rect) noexcept {
  return D2D1::RectF(rect.left, rect.top, rect.right, rect.bottom);
}

D2D1_POINT_2F ToD2D(const LayoutPoint& point) noexcept { return D2D1::Point2F(point.x, point.y); }

void FillArrow(ID2D1DeviceContext* pContext, ID2D1Factory1* pFactory, const ArrowShape& arrow,
               ID2D1Brush* pBrush) noexcept {
  if (pFactory == nullptr) {
    return;
  }
  // Success of each creation is judged by the pointer it returns, not by its
  // HRESULT. Declared in this order, so the sink is released before its geometry.
  TComPtr<ID2D1PathGeometry> geometry;
  TComPtr<ID2D1GeometrySink> sink;
  (void)pFactory->CreatePathGeometry(geometry.Put());
  if (!geometry) {
    return;
  }
  (void)geometry->Open(sink.Put());
  if (!sink) {
    return;
  }
  sink->BeginFigure(ToD2D(arrow.m_vertices[0]), D2D1_FIGURE_BEGIN_FILLED);
  for (std::size_t i = 1; i < arrow.m_vertices.size(); ++i) {
    sink->AddLine(ToD2D(arrow.m_vertices[i]));
  }
  sink->EndFigure(D2D1_FIGURE_END_CLOSED);
  (void)sink->Close();
  pContext->FillGeometry(geometry.Get(), pBrush, nullptr);
}

}  // namespace

void DrawBandFrame(CCompositionRenderer& renderer, HWND hWnd, const TrafficState& state,
                   wchar_t* pszUpperText, wchar_t* pszLowerText) noexcept {
  if (renderer.D2DContext() == nullptr || renderer.DWriteFactory() == nullptr ||
      !renderer.IsInitialized()) {
    return;
  }
  ID2D1DeviceContext* const pContext = renderer.D2DContext();
  pContext->BeginDraw();

  RECT rcClient{};
  GetClientRect(hWnd, &rcClient);
  pContext->Clear(ToD2D(kClearColor));

  // Declared in the reverse of the order they are released in at the end.
  TComPtr<IDWriteTextFormat> format;
  TComPtr<ID2D1SolidColorBrush> upperBrush;
  TComPtr<ID2D1SolidColorBrush> lowerBrush;
  TComPtr<ID2D1SolidColorBrush> trackBrush;
  (void)renderer.DWriteFactory()->CreateTextFormat(
      kBandFontFamily, nullptr, DWRITE_FONT_WEIGHT_MEDIUM, DWRITE_FONT_STYLE_NORMAL,
      DWRITE_FONT_STRETCH_NORMAL, kTextEmSize, kBandFontLocale, format.Put());
  if (!format) {
    (void)renderer.EndFrame();
    return;
  }
  (void)format->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
  (void)format->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);

  (void)pContext->CreateSolidColorBrush(ToD2D(ColorFromColorRef(state.m_crUpper)),
                                        upperBrush.Put());
  (void)pContext->CreateSolidColorBrush(ToD2D(ColorFromColorRef(state.m_crLower)),
                                        lowerBrush.Put());
  (void)pContext->CreateSolidColorBrush(ToD2D(kTrackColor), trackBrush.Put());
  ID2D1SolidColorBrush* const pUpperBrush = upperBrush.Get();
  ID2D1SolidColorBrush* const pLowerBrush = lowerBrush.Get();
  ID2D1SolidColorBrush* const pTrackBrush = trackBrush.Get();

  const wchar_t* const pszUpper = FormatRate(state.m_nRateUpper, state.m_bBitsMode, pszUpperText);
  const wchar_t* const pszLower = FormatRate(state.m_nRateLower, state.m_bBitsMode, pszLowerText);

  const BandLayout layout = ComputeBandLayout(rcClient, state);
  const FramePlan plan =
      PlanFrame(layout, pUpperBrush != nullptr, pLowerBrush != nullptr, pTrackBrush != nullptr);
  for (std::size_t i = 0; i < plan.m_nItems; ++i) {
    const FrameItem& item = plan.m_items[i];
    ID2D1Brush* const pBrush = item.m_brush == FrameBrush::Upper   ? pUpperBrush
                               : item.m_brush == FrameBrush::Lower ? pLowerBrush
                                                                   : pTrackBrush;
    switch (item.m_kind) {
      case FrameItemKind::Text: {
        const wchar_t* const pszText = item.m_bUpperLine ? pszUpper : pszLower;
        pContext->DrawText(pszText, static_cast<UINT32>(std::wcslen(pszText)), format.Get(),
                           ToD2D(*item.m_pRect), pBrush, D2D1_DRAW_TEXT_OPTIONS_NONE,
                           DWRITE_MEASURING_MODE_NATURAL);
        break;
      }
      case FrameItemKind::Rectangle:
        pContext->FillRectangle(ToD2D(*item.m_pRect), pBrush);
        break;
      case FrameItemKind::Arrow:
        FillArrow(pContext, renderer.D2DFactory(), *item.m_pArrow, pBrush);
        break;
    }
  }

  (void)renderer.EndFrame();
}
