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

ID2D1SolidColorBrush* CreateBrush(ID2D1DeviceContext* pContext, const LayoutColor& color) noexcept {
  ID2D1SolidColorBrush* pBrush = nullptr;
  (void)pContext->CreateSolidColorBrush(ToD2D(color), &pBrush);
  return pBrush;
}

void FillArrow(ID2D1DeviceContext* pContext, ID2D1Factory1* pFactory, const ArrowShape& arrow,
               ID2D1Brush* pBrush) noexcept {
  if (pFactory == nullptr) {
    return;
  }
  ID2D1PathGeometry* pGeometry = nullptr;
  (void)pFactory->CreatePathGeometry(&pGeometry);
  if (pGeometry == nullptr) {
    return;
  }
  ID2D1GeometrySink* pSink = nullptr;
  (void)pGeometry->Open(&pSink);
  if (pSink == nullptr) {
    EmptySlot(pGeometry);
    return;
  }
  pSink->BeginFigure(ToD2D(arrow.m_vertices[0]), D2D1_FIGURE_BEGIN_FILLED);
  for (std::size_t i = 1; i < arrow.m_vertices.size(); ++i) {
    pSink->AddLine(ToD2D(arrow.m_vertices[i]));
  }
  pSink->EndFigure(D2D1_FIGURE_END_CLOSED);
  (void)pSink->Close();
  pContext->FillGeometry(pGeometry, pBrush, nullptr);
  EmptySlot(pSink);
  EmptySlot(pGeometry);
}

}  // namespace

void DrawBandFrame(CCompositionRenderer& renderer, HWND hWnd, const TrafficState& state,
                   wchar_t* pszUpperText, wchar_t* pszLowerText) noexcept {
  if (renderer.m_pD2DContext == nullptr || renderer.m_pDWriteFactory == nullptr ||
      !renderer.m_bInitialized) {
    return;
  }
  ID2D1DeviceContext* const pContext = renderer.m_pD2DContext;
  pContext->BeginDraw();

  RECT rcClient{};
  GetClientRect(hWnd, &rcClient);
  pContext->Clear(ToD2D(kClearColor));

  IDWriteTextFormat* pFormat = nullptr;
  (void)renderer.m_pDWriteFactory->CreateTextFormat(
      kBandFontFamily, nullptr, DWRITE_FONT_WEIGHT_MEDIUM, DWRITE_FONT_STYLE_NORMAL,
      DWRITE_FONT_STRETCH_NORMAL, kTextEmSize, kBandFontLocale, &pFormat);
  if (pFormat == nullptr) {
    (void)renderer.EndFrame();
    return;
  }
  (void)pFormat->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
  (void)pFormat->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);

  ID2D1SolidColorBrush* pUpperBrush = CreateBrush(pContext, ColorFromColorRef(state.m_crUpper));
  ID2D1SolidColorBrush* pLowerBrush = CreateBrush(pContext, ColorFromColorRef(state.m_crLower));
  ID2D1SolidColorBrush* pTrackBrush = CreateBrush(pContext, kTrackColor);

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
        pContext->DrawText(pszText, static_cast<UINT32>(std::wcslen(pszText)), pFormat,
                           ToD2D(*item.m_pRect), pBrush, D2D1_DRAW_TEXT_OPTIONS_NONE,
                           DWRITE_MEASURING_MODE_NATURAL);
        break;
      }
      case FrameItemKind::Rectangle:
        pContext->FillRectangle(ToD2D(*item.m_pRect), pBrush);
        break;
      case FrameItemKind::Arrow:
        FillArrow(pContext, renderer.m_pD2DFactory, *item.m_pArrow, pBrush);
        break;
    }
  }

  (void)renderer.EndFrame();

  EmptySlot(pTrackBrush);
  EmptySlot(pLowerBrush);
  EmptySlot(pUpperBrush);
  EmptySlot(pFormat);
}
