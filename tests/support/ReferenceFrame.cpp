#include "support/ReferenceFrame.h"

#include <cwchar>

#include "feed/FormatRate.h"
#include "render/BandFrame.h"
#include "render/BandLayout.h"
#include "render/ComSlot.h"

TrafficState ReferenceState(int i) noexcept {
  const int k = i % 20;
  TrafficState state;
  state.m_bHasData = TRUE;
  state.m_nRateUpper = 1000 + k * 1047293;
  state.m_nMaxUpper = 12500000;
  state.m_nRateLower = (k % 5 == 0) ? -1 : k * 79193;
  state.m_nMaxLower = 1250000;
  state.m_bBitsMode = k % 2;
  state.m_bArrowsFlipped = (k / 2) % 2;
  return state;
}

void DrawReferenceFrame(CCompositionRenderer& renderer, int i) noexcept {
  const TrafficState state = ReferenceState(i);
  ID2D1DeviceContext* pContext = renderer.D2DContext();
  pContext->BeginDraw();
  pContext->Clear(D2D1::ColorF(0, 0, 0, 0));
  TComPtr<IDWriteTextFormat> format;
  (void)renderer.DWriteFactory()->CreateTextFormat(
      kBandFontFamily, nullptr, DWRITE_FONT_WEIGHT_MEDIUM, DWRITE_FONT_STYLE_NORMAL,
      DWRITE_FONT_STRETCH_NORMAL, 11.0f, kBandFontLocale, format.Put());
  format->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
  format->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
  TComPtr<ID2D1SolidColorBrush> brushes[3];
  const D2D1_COLOR_F colors[3] = {D2D1::ColorF(0.5f, 0.9f, 0.3f, 1),
                                  D2D1::ColorF(0.3f, 0.6f, 0.9f, 1),
                                  D2D1::ColorF(0.25f, 0.25f, 0.25f, 1)};
  for (int b = 0; b < 3; ++b) {
    (void)pContext->CreateSolidColorBrush(colors[b], brushes[b].Put());
  }
  wchar_t szUpper[kRateTextChars] = {};
  wchar_t szLower[kRateTextChars] = {};
  const wchar_t* pszUpper = FormatRate(state.m_nRateUpper, state.m_bBitsMode, szUpper);
  const wchar_t* pszLower = FormatRate(state.m_nRateLower, state.m_bBitsMode, szLower);
  pContext->DrawText(pszUpper, static_cast<UINT32>(std::wcslen(pszUpper)), format.Get(),
                     D2D1::RectF(18, 0, 95, 17), brushes[0].Get());
  pContext->DrawText(pszLower, static_cast<UINT32>(std::wcslen(pszLower)), format.Get(),
                     D2D1::RectF(18, 19, 95, 36), brushes[1].Get());
  const int k = i % 20;
  pContext->FillRectangle(D2D1::RectF(18, 16, 93, 18), brushes[2].Get());
  pContext->FillRectangle(D2D1::RectF(18, 35, 93, 37), brushes[2].Get());
  pContext->FillRectangle(D2D1::RectF(18, 16, 18 + k * 3.0f, 18), brushes[0].Get());
  pContext->FillRectangle(D2D1::RectF(18, 35, 18 + k * 2.0f, 37), brushes[1].Get());
  const BOOL bUp = !state.m_bArrowsFlipped;
  const ArrowShape arrows[2] = {ComputeArrow(4, bUp), ComputeArrow(23, !bUp)};
  for (int a = 0; a < 2; ++a) {
    TComPtr<ID2D1PathGeometry> geometry;
    TComPtr<ID2D1GeometrySink> sink;
    (void)renderer.D2DFactory()->CreatePathGeometry(geometry.Put());
    (void)geometry->Open(sink.Put());
    const auto& v = arrows[a].m_vertices;
    sink->BeginFigure(D2D1::Point2F(v[0].x, v[0].y), D2D1_FIGURE_BEGIN_FILLED);
    for (std::size_t n = 1; n < v.size(); ++n) {
      sink->AddLine(D2D1::Point2F(v[n].x, v[n].y));
    }
    sink->EndFigure(D2D1_FIGURE_END_CLOSED);
    (void)sink->Close();
    pContext->FillGeometry(geometry.Get(), brushes[a].Get());
  }
  (void)renderer.EndFrame();
}
