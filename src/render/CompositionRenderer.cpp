#include "render/CompositionRenderer.h"

#include <algorithm>
#include <iterator>

#include "render/SurfaceRecovery.h"

namespace {

constexpr D3D_FEATURE_LEVEL kFeatureLevels[] = {D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0,
                                                D3D_FEATURE_LEVEL_10_1, D3D_FEATURE_LEVEL_10_0};
constexpr UINT kBufferCount = 2;
constexpr DXGI_FORMAT kSurfaceFormat = DXGI_FORMAT_B8G8R8A8_UNORM;

int AtLeastOne(int n) noexcept { return std::max(n, 1); }

}  // namespace

CCompositionRenderer::~CCompositionRenderer() {
  ReleaseResources();
  m_pDCompVisual.Reset();
  m_pDCompTarget.Reset();
  m_pDCompDevice.Reset();
  m_pDWriteFactory.Reset();
  m_pTargetBitmap.Reset();
  m_pD2DContext.Reset();
  m_pD2DDevice.Reset();
  m_pD2DFactory.Reset();
  m_pSwapChain.Reset();
  m_pDxgiDevice.Reset();
  m_pD3DContext.Reset();
  m_pD3DDevice.Reset();
}

const RendererPlatform& CCompositionRenderer::Platform() const noexcept {
  return m_pPlatform != nullptr ? *m_pPlatform : SystemRendererPlatform();
}

HRESULT CCompositionRenderer::CreateD3DDevice(D3D_DRIVER_TYPE driverType) noexcept {
  m_pD3DContext.Reset();
  m_pD3DDevice.Reset();
  const RendererPlatform& platform = Platform();
  D3D_FEATURE_LEVEL featureLevel{};
  return platform.m_pfnD3D11CreateDevice(
      platform.m_pContext, nullptr, driverType, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT,
      kFeatureLevels, static_cast<UINT>(std::size(kFeatureLevels)), D3D11_SDK_VERSION,
      m_pD3DDevice.Put(), &featureLevel, m_pD3DContext.Put());
}

BOOL CCompositionRenderer::Initialize(HWND hWnd) noexcept {
  if (m_bInitialized) {
    return TRUE;
  }
  m_hWndHost = hWnd;
  RECT rcClient{};
  GetClientRect(hWnd, &rcClient);
  m_nWidth = AtLeastOne(rcClient.right - rcClient.left);
  m_nHeight = AtLeastOne(rcClient.bottom - rcClient.top);

  if (FAILED(CreateD3DDevice(D3D_DRIVER_TYPE_HARDWARE))) {
    m_pD3DContext.Reset();
    m_pD3DDevice.Reset();
    if (FAILED(CreateD3DDevice(D3D_DRIVER_TYPE_WARP))) {
      return FALSE;
    }
  }

  m_pDxgiDevice.Reset();
  if (FAILED(m_pD3DDevice->QueryInterface(__uuidof(IDXGIDevice), m_pDxgiDevice.PutVoid()))) {
    return FALSE;
  }

  // A failed earlier attempt may have left a factory here; it is let go like
  // every other slot rather than overwritten.
  m_pD2DFactory.Reset();
  D2D1_FACTORY_OPTIONS factoryOptions{};
  factoryOptions.debugLevel = D2D1_DEBUG_LEVEL_NONE;
  if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory1),
                               &factoryOptions, m_pD2DFactory.PutVoid()))) {
    return FALSE;
  }

  m_pD2DDevice.Reset();
  if (FAILED(m_pD2DFactory->CreateDevice(m_pDxgiDevice.Get(), m_pD2DDevice.Put()))) {
    return FALSE;
  }

  m_pD2DContext.Reset();
  if (FAILED(m_pD2DDevice->CreateDeviceContext(D2D1_DEVICE_CONTEXT_OPTIONS_NONE,
                                               m_pD2DContext.Put()))) {
    return FALSE;
  }

  m_pDWriteFactory.Reset();
  if (FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                 reinterpret_cast<IUnknown**>(m_pDWriteFactory.Put())))) {
    return FALSE;
  }

  if (!CreateSwapChain() || !BuildCompositionTree() || !CreateTargetBitmap()) {
    return FALSE;
  }
  m_bInitialized = TRUE;
  m_hrDeviceLoss = S_OK;
  return TRUE;
}

BOOL CCompositionRenderer::CreateSwapChain() noexcept {
  TComPtr<IDXGIAdapter> adapter;
  TComPtr<IDXGIFactory2> factory;
  if (FAILED(m_pDxgiDevice->GetAdapter(adapter.Put()))) {
    return FALSE;
  }
  if (FAILED(adapter->GetParent(__uuidof(IDXGIFactory2), factory.PutVoid()))) {
    return FALSE;
  }

  DXGI_SWAP_CHAIN_DESC1 desc{};
  desc.Width = static_cast<UINT>(m_nWidth);
  desc.Height = static_cast<UINT>(m_nHeight);
  desc.Format = kSurfaceFormat;
  desc.Stereo = FALSE;
  desc.SampleDesc.Count = 1;
  desc.SampleDesc.Quality = 0;
  desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  desc.BufferCount = kBufferCount;
  desc.Scaling = DXGI_SCALING_STRETCH;
  desc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL;
  desc.AlphaMode = DXGI_ALPHA_MODE_PREMULTIPLIED;
  desc.Flags = 0;

  m_pSwapChain.Reset();
  const RendererPlatform& platform = Platform();
  return FAILED(platform.m_pfnCreateSwapChainForComposition(platform.m_pContext, factory.Get(),
                                                            m_pD3DDevice.Get(), &desc, nullptr,
                                                            m_pSwapChain.Put()))
             ? FALSE
             : TRUE;
}

BOOL CCompositionRenderer::BuildCompositionTree() noexcept {
  m_pDCompDevice.Reset();
  const RendererPlatform& platform = Platform();
  if (FAILED(platform.m_pfnDCompositionCreateDevice(platform.m_pContext, m_pDxgiDevice.Get(),
                                                    __uuidof(IDCompositionDevice),
                                                    m_pDCompDevice.PutVoid()))) {
    return FALSE;
  }

  m_pDCompTarget.Reset();
  if (FAILED(m_pDCompDevice->CreateTargetForHwnd(m_hWndHost, TRUE, m_pDCompTarget.Put()))) {
    return FALSE;
  }

  m_pDCompVisual.Reset();
  if (FAILED(m_pDCompDevice->CreateVisual(m_pDCompVisual.Put()))) {
    return FALSE;
  }
  if (FAILED(m_pDCompVisual->SetContent(m_pSwapChain.Get()))) {
    return FALSE;
  }
  if (FAILED(m_pDCompTarget->SetRoot(m_pDCompVisual.Get()))) {
    return FALSE;
  }
  return FAILED(m_pDCompDevice->Commit()) ? FALSE : TRUE;
}

BOOL CCompositionRenderer::CreateTargetBitmap() noexcept {
  return FAILED(MakeTargetBitmap()) ? FALSE : TRUE;
}

HRESULT CCompositionRenderer::MakeTargetBitmap() noexcept {
  TComPtr<IDXGISurface> surface;
  if (const HRESULT hr = m_pSwapChain->GetBuffer(0, __uuidof(IDXGISurface), surface.PutVoid());
      FAILED(hr)) {
    return hr;
  }

  D2D1_BITMAP_PROPERTIES1 properties{};
  properties.pixelFormat.format = kSurfaceFormat;
  properties.pixelFormat.alphaMode = D2D1_ALPHA_MODE_PREMULTIPLIED;
  properties.dpiX = 0.0f;
  properties.dpiY = 0.0f;
  properties.bitmapOptions = D2D1_BITMAP_OPTIONS_TARGET | D2D1_BITMAP_OPTIONS_CANNOT_DRAW;
  properties.colorContext = nullptr;

  m_pTargetBitmap.Reset();
  if (const HRESULT hr = m_pD2DContext->CreateBitmapFromDxgiSurface(surface.Get(), &properties,
                                                                    m_pTargetBitmap.Put());
      FAILED(hr)) {
    return hr;
  }
  m_pD2DContext->SetTarget(m_pTargetBitmap.Get());
  return S_OK;
}

BOOL CCompositionRenderer::EndFrame() noexcept {
  if (!m_bInitialized || !m_pD2DContext) {
    return FALSE;
  }
  HRESULT hr = m_pD2DContext->EndDraw(nullptr, nullptr);
  if (SUCCEEDED(hr)) {
    DXGI_PRESENT_PARAMETERS presentParameters{};
    hr = m_pSwapChain->Present1(1, 0, &presentParameters);
  }
  if (SUCCEEDED(hr)) {
    hr = m_pDCompDevice->Commit();
  }
  if (FAILED(hr)) {
    LetGoIfLost(hr);
    return FALSE;
  }
  return TRUE;
}

void CCompositionRenderer::Resize(int cx, int cy) noexcept {
  if (!m_bInitialized) {
    return;
  }
  cx = AtLeastOne(cx);
  cy = AtLeastOne(cy);
  if (cx == m_nWidth && cy == m_nHeight) {
    return;
  }
  m_nWidth = cx;
  m_nHeight = cy;

  // The swap chain refuses to resize while anything still holds a buffer.
  m_pD2DContext->SetTarget(nullptr);
  m_pTargetBitmap.Reset();
  HRESULT hr = m_pSwapChain->ResizeBuffers(kBufferCount, static_cast<UINT>(cx),
                                           static_cast<UINT>(cy), kSurfaceFormat, 0);
  if (SUCCEEDED(hr)) {
    hr = MakeTargetBitmap();
  }
  if (FAILED(hr)) {
    LetGoIfLost(hr);
  }
}

// Nothing made on a lost device works again: a frame, a resize or a target
// on it fails the same way every time. So all of it goes here, through the
// one release, and the owner builds the surface anew.
void CCompositionRenderer::LetGoIfLost(HRESULT hr) noexcept {
  if (!IsDeviceLoss(hr)) {
    return;
  }
  ReleaseResources();
  m_hrDeviceLoss = hr;
}

void CCompositionRenderer::ReleaseResources() noexcept {
  if (m_pD2DContext) {
    m_pD2DContext->SetTarget(nullptr);
  }
  m_pTargetBitmap.Reset();
  m_pDCompVisual.Reset();
  m_pDCompTarget.Reset();
  m_pDCompDevice.Reset();
  m_pSwapChain.Reset();
  m_pD2DContext.Reset();
  m_pD2DDevice.Reset();
  m_pDWriteFactory.Reset();
  m_pD2DFactory.Reset();
  m_pDxgiDevice.Reset();
  m_pD3DContext.Reset();
  m_pD3DDevice.Reset();
  m_bInitialized = FALSE;
}

CCompositionRenderer::Slots CCompositionRenderer::CurrentSlots() const noexcept {
  return {m_pD3DDevice.Get(),     m_pD3DContext.Get(),  m_pDxgiDevice.Get(),  m_pSwapChain.Get(),
          m_pD2DFactory.Get(),    m_pD2DDevice.Get(),   m_pD2DContext.Get(),  m_pTargetBitmap.Get(),
          m_pDWriteFactory.Get(), m_pDCompDevice.Get(), m_pDCompTarget.Get(), m_pDCompVisual.Get()};
}
