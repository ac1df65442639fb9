#pragma once
// The yardstick for a band frame: the same platform calls a frame makes,
// written out plainly, for the values of frame number i. Memory checks and
// benchmarks hold the band's own frames against it.

#include "feed/TrafficState.h"
#include "render/CompositionRenderer.h"

// Frame i's values. They repeat every 20 frames, so that the text engine's
// own caches (which grow with every new string) are full after a warm-up and
// only leaks remain.
[[nodiscard]] TrafficState ReferenceState(int i) noexcept;

// The Direct2D and DirectWrite calls of a band frame for ReferenceState(i),
// ended with the renderer's EndFrame; everything made is released again.
void DrawReferenceFrame(CCompositionRenderer& renderer, int i) noexcept;
