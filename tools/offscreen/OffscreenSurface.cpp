// The off-screen pieces put together: a renderer platform table, reading a
// frame back, and a window to host the surface.

#include <algorithm>

#include "render/ComSlot.h"
#include "offscreen/OffscreenComposition.h"

namespace {

HRESULT CreateDevice(void*, IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE driverType, HMODULE hSoftware,
                     UINT nFlags, const D3D_FEATURE_LEVEL* pFeatureLevels, UINT nFeatureLevels,
                     UINT nSdkVersion, ID3D11Device** ppDevice, D3D_FEATURE_LEVEL* pFeatureLevel,
                     ID3D11DeviceContext** ppContext) noexcept {
  return D3D11CreateDevice(pAdapter, driverType, hSoftware, nFlags, pFeatureLevels, nFeatureLevels,
                           nSdkVersion, ppDevice, pFeatureLevel, ppContext);
}

HRESULT CreateSwapChain(void*, IDXGIFactory2*, IUnknown* pDevice,
                        const DXGI_SWAP_CHAIN_DESC1* pDesc, IDXGIOutput*,
                        IDXGISwapChain1** ppSwapChain) noexcept {
  return CreateOffscreenSwapChain(pDevice, pDesc, nullptr, ppSwapChain);
}

HRESULT CreateCompositionDevice(void*, IDXGIDevice* pDxgiDevice, REFIID riid,
                                void** ppDevice) noexcept {
  return CreateOffscreenCompositionDevice(pDxgiDevice, riid, nullptr, ppDevice);
}

constexpr RendererPlatform kOffscreenPlatform{nullptr, &CreateDevice, &CreateSwapChain,
                                              &CreateCompositionDevice};

constexpr wchar_t kHostWindowClass[] = L"NimbrelOffscreenHost";

void RegisterHostClass() noexcept {
  static const ATOM s_atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kHostWindowClass;
    return RegisterClassExW(&wc);
  }();
  (void)s_atom;
}

}  // namespace

const RendererPlatform& OffscreenRendererPlatform() noexcept { return kOffscreenPlatform; }

BOOL ReadBackPixels(IDXGISwapChain1* pSwapChain, PixelImage& image,
                    ID3D11Texture2D** ppStaging) noexcept {
  image.m_nWidth = 0;
  image.m_nHeight = 0;
  image.m_pixels.clear();  // keeps the storage for the next frame
  if (pSwapChain == nullptr) {
    return FALSE;
  }
  TComPtr<ID3D11Device> device;
  TComPtr<ID3D11Texture2D> buffer;
  if (FAILED(pSwapChain->GetDevice(__uuidof(ID3D11Device), device.PutVoid())) ||
      FAILED(pSwapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), buffer.PutVoid()))) {
    return FALSE;
  }
  D3D11_TEXTURE2D_DESC desc{};
  buffer->GetDesc(&desc);
  desc.Usage = D3D11_USAGE_STAGING;
  desc.BindFlags = 0;
  desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  desc.MiscFlags = 0;
  TComPtr<ID3D11Texture2D> ownStaging;
  ID3D11Texture2D** ppUsed = ppStaging != nullptr ? ppStaging : ownStaging.Put();
  if (*ppUsed != nullptr) {
    D3D11_TEXTURE2D_DESC kept{};
    (*ppUsed)->GetDesc(&kept);
    if (kept.Width != desc.Width || kept.Height != desc.Height || kept.Format != desc.Format) {
      EmptySlot(*ppUsed);
    }
  }
  if (*ppUsed == nullptr && FAILED(device->CreateTexture2D(&desc, nullptr, ppUsed))) {
    return FALSE;
  }
  ID3D11Texture2D* const pStaging = *ppUsed;
  TComPtr<ID3D11DeviceContext> context;
  device->GetImmediateContext(context.Put());
  context->CopyResource(pStaging, buffer.Get());
  D3D11_MAPPED_SUBRESOURCE mapped{};
  if (FAILED(context->Map(pStaging, 0, D3D11_MAP_READ, 0, &mapped))) {
    return FALSE;
  }
  image.m_nWidth = desc.Width;
  image.m_nHeight = desc.Height;
  image.m_pixels.resize(static_cast<std::size_t>(desc.Width) * desc.Height);
  for (UINT y = 0; y < desc.Height; ++y) {
    const auto* pRow = static_cast<const std::uint32_t*>(mapped.pData) +
                       static_cast<std::size_t>(y) * (mapped.RowPitch / 4);
    std::copy(pRow, pRow + desc.Width,
              image.m_pixels.begin() + static_cast<std::ptrdiff_t>(y) * desc.Width);
  }
  context->Unmap(pStaging, 0);
  return TRUE;
}

CHostWindow::CHostWindow(int cx, int cy) noexcept {
  RegisterHostClass();
  m_window.Reset(CreateWindowExW(WS_EX_NOREDIRECTIONBITMAP, kHostWindowClass, L"", WS_POPUP, 0, 0,
                                 cx, cy, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
}

void CHostWindow::SetClientSize(int cx, int cy) noexcept {
  SetWindowPos(m_window.Get(), nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
