#include "render/RendererPlatform.h"

namespace {

HRESULT SystemCreateDevice(void*, IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE driverType,
                           HMODULE hSoftware, UINT nFlags, const D3D_FEATURE_LEVEL* pFeatureLevels,
                           UINT nFeatureLevels, UINT nSdkVersion, ID3D11Device** ppDevice,
                           D3D_FEATURE_LEVEL* pFeatureLevel,
                           ID3D11DeviceContext** ppContext) noexcept {
  return D3D11CreateDevice(pAdapter, driverType, hSoftware, nFlags, pFeatureLevels, nFeatureLevels,
                           nSdkVersion, ppDevice, pFeatureLevel, ppContext);
}

HRESULT SystemCreateSwapChain(void*, IDXGIFactory2* pFactory, IUnknown* pDevice,
                              const DXGI_SWAP_CHAIN_DESC1* pDesc, IDXGIOutput* pRestrictToOutput,
                              IDXGISwapChain1** ppSwapChain) noexcept {
  return pFactory->CreateSwapChainForComposition(pDevice, pDesc, pRestrictToOutput, ppSwapChain);
}

HRESULT SystemCreateCompositionDevice(void*, IDXGIDevice* pDxgiDevice, REFIID riid,
                                      void** ppDevice) noexcept {
  return DCompositionCreateDevice(pDxgiDevice, riid, ppDevice);
}

constexpr RendererPlatform kSystemPlatform{nullptr, &SystemCreateDevice, &SystemCreateSwapChain,
                                           &SystemCreateCompositionDevice};

}  // namespace

const RendererPlatform& SystemRendererPlatform() noexcept { return kSystemPlatform; }
