#pragma once
// The one place where the stand-in reaches into DXGI: Wine's factories answer
// IDXGIFactory2::CreateSwapChainForComposition with E_NOTIMPL, so that method
// is pointed at the stand-in's own. Kept free of COM types: the method table
// can only be named in a translation unit that sees the C declarations.

// Makes every DXGI factory of this process call pfnReplacement, a function
// with that method's signature (the factory first), for composition swap
// chains. False when no factory could be made or its table not written.
[[nodiscard]] bool RouteCompositionSwapChains(void* pfnReplacement) noexcept;
