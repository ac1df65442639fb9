// dcomp.dll, the composition stand-in: development only, never shipped.
//
// Wine 8 has no DirectComposition and no composition swap chain, so the real
// Nimbrel.exe stops at "DirectComposition initialization failed!". Placed
// beside the exe and chosen with WINEDLLOVERRIDES=dcomp=n,b, this DLL is
// loaded in place of Wine's own dcomp.dll. It answers DCompositionCreateDevice
// with the off-screen composition device, and makes the DXGI factories'
// CreateSwapChainForComposition hand out off-screen swap chains whose buffers
// are real Direct3D textures. Every frame presented on a swap chain that a
// window shows then goes to the development taskbar (tools/devshell), which
// lays it over its own pixels, so that the X screen shows the band as a user
// would see it. On Windows the system's dcomp.dll is always the one loaded.

#include <windows.h>

#include <dcomp.h>
#include <dxgi1_2.h>

#include <memory>

#include "standin/StandInCompositor.h"
#include "standin/SwapChainRoute.h"

namespace {

// Lives as long as the last off-screen object holds it.
[[nodiscard]] const OffscreenObserverPtr& Compositor() noexcept {
  static const OffscreenObserverPtr s_pCompositor = std::make_shared<CStandInCompositor>();
  return s_pCompositor;
}

HRESULT STDMETHODCALLTYPE CreateSwapChainForComposition(IDXGIFactory2*, IUnknown* pDevice,
                                                        const DXGI_SWAP_CHAIN_DESC1* pDesc,
                                                        IDXGIOutput*,
                                                        IDXGISwapChain1** ppSwapChain) noexcept {
  if (ppSwapChain == nullptr) {
    return DXGI_ERROR_INVALID_CALL;
  }
  *ppSwapChain = nullptr;
  if (pDevice == nullptr || pDesc == nullptr) {
    return DXGI_ERROR_INVALID_CALL;
  }
  return CreateOffscreenSwapChain(pDevice, pDesc, Compositor(), ppSwapChain);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
  if (dwReason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(hInstance);
    // Before the program's entry point: the band asks for its swap chain
    // before it asks for a composition device. Without the route it fails
    // there, as it would without the stand-in.
    (void)RouteCompositionSwapChains(reinterpret_cast<void*>(&CreateSwapChainForComposition));
  }
  return TRUE;
}

STDAPI DCompositionCreateDevice(IDXGIDevice* pDxgiDevice, REFIID riid, void** ppDevice) {
  if (ppDevice == nullptr) {
    return E_POINTER;
  }
  return CreateOffscreenCompositionDevice(pDxgiDevice, riid, Compositor(), ppDevice);
}
