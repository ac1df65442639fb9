#pragma once
// One complete band frame: both rates as text, their tracks and bars, the two
// arrows, over a transparent clear, then presented. The band's DrawBand calls
// this once its own surface-ready flag is set.

#include <windows.h>

#include "feed/TrafficState.h"
#include "render/CompositionRenderer.h"

inline constexpr wchar_t kBandFontFamily[] = L"Segoe UI";
inline constexpr wchar_t kBandFontLocale[] = L"de-DE";

// Draws nothing unless the renderer has its device context and DirectWrite
// factory and is initialised. Fills both text buffers (kRateTextChars each)
// through FormatRate. Every object of the frame is released before return.
void DrawBandFrame(CCompositionRenderer& renderer, HWND hWnd, const TrafficState& state,
                   wchar_t* pszUpperText, wchar_t* pszLowerText) noexcept;
