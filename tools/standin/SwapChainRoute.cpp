// All of Wine's DXGI factories share one method table inside dxgi.dll, so
// writing one entry of it once reroutes the composition swap chains of every
// factory the process makes, including the one the band takes from its
// adapter. Nothing else in the table changes. The C declarations name the
// entry, so the index comes from the SDK's own layout.
#define CINTERFACE
#include <windows.h>

#include <dxgi1_2.h>

#include "standin/SwapChainRoute.h"

bool RouteCompositionSwapChains(void* pfnReplacement) noexcept {
  IDXGIFactory2* pFactory = nullptr;
  if (FAILED(CreateDXGIFactory1(IID_IDXGIFactory2, reinterpret_cast<void**>(&pFactory)))) {
    return false;
  }
  auto* ppEntry = reinterpret_cast<void**>(&pFactory->lpVtbl->CreateSwapChainForComposition);
  DWORD dwOldProtect = 0;
  bool bRouted = false;
  if (VirtualProtect(ppEntry, sizeof(void*), PAGE_READWRITE, &dwOldProtect)) {
    *ppEntry = pfnReplacement;
    VirtualProtect(ppEntry, sizeof(void*), dwOldProtect, &dwOldProtect);
    bRouted = true;
  }
  pFactory->lpVtbl->Release(pFactory);
  return bRouted;
}
