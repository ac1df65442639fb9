#pragma once
// The three platform creations the surface does not call directly. Wine has
// neither a composition swap chain nor a DirectComposition device, so tests
// and the preview tool hand a renderer a table of their own (see
// tools/offscreen); the program always runs on SystemRendererPlatform(), the
// real functions.

#include <windows.h>

#include <d3d11.h>
#include <dcomp.h>
#include <dxgi1_2.h>

struct RendererPlatform {
  // Handed back unchanged as the first argument of every entry.
  void* m_pContext;

  using PfnD3D11CreateDevice = HRESULT (*)(void* pContext, IDXGIAdapter* pAdapter,
                                           D3D_DRIVER_TYPE driverType, HMODULE hSoftware,
                                           UINT nFlags, const D3D_FEATURE_LEVEL* pFeatureLevels,
                                           UINT nFeatureLevels, UINT nSdkVersion,
                                           ID3D11Device** ppDevice,
                                           D3D_FEATURE_LEVEL* pFeatureLevel,
                                           ID3D11DeviceContext** ppContext) noexcept;
  PfnD3D11CreateDevice m_pfnD3D11CreateDevice;

  // IDXGIFactory2::CreateSwapChainForComposition on pFactory.
  using PfnCreateSwapChainForComposition = HRESULT (*)(void* pContext, IDXGIFactory2* pFactory,
                                                       IUnknown* pDevice,
                                                       const DXGI_SWAP_CHAIN_DESC1* pDesc,
                                                       IDXGIOutput* pRestrictToOutput,
                                                       IDXGISwapChain1** ppSwapChain) noexcept;
  PfnCreateSwapChainForComposition m_pfnCreateSwapChainForComposition;

  using PfnDCompositionCreateDevice = HRESULT (*)(void* pContext, IDXGIDevice* pDxgiDevice,
                                                  REFIID riid, void** ppDevice) noexcept;
  PfnDCompositionCreateDevice m_pfnDCompositionCreateDevice;
};

[[nodiscard]] const RendererPlatform& SystemRendererPlatform() noexcept;
