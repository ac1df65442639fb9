#include "render/CompositionRenderer.h"

#include <algorithm>
#include <iterator>

#include "render/ComSlot.h"
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
  EmptySlot(m_pDCompVisual);
  EmptySlot(m_pDCompTarget);
  EmptySlot(m_pDCompDevice);
  EmptySlot(m_pDWriteFactory);
  EmptySlot(m_pTargetBitmap);
  EmptySlot(m_pD2DContext);
  EmptySlot(m_pD2DDevice);
  EmptySlot(m_pD2DFactory);
  EmptySlot(m_pSwapChain);
  EmptySlot(m_pDxgiDevice);
  EmptySlot(m_pD3DContext);
  EmptySlot(m_pD3DDevice);
}

const RendererPlatform& CCompositionRenderer::Platform() const noexcept {
  return m_pPlatform != nullptr ? *m_pPlatform : SystemRendererPlatform();
}

HRESULT CCompositionRenderer::CreateD3DDevice(D3D_DRIVER_TYPE driverType) noexcept {
  EmptySlot(m_pD3DContext);
  EmptySlot(m_pD3DDevice);
  const RendererPlatform& platform = Platform();
  D3D_FEATURE_LEVEL featureLevel{};
  return platform.m_pfnD3D11CreateDevice(
      platform.m_pContext, nullptr, driverType, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT,
      kFeatureLevels, static_cast<UINT>(std::size(kFeatureLevels)), D3D11_SDK_VERSION,
      &m_pD3DDevice, &featureLevel, &m_pD3DContext);
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
    EmptySlot(m_pD3DContext);
    EmptySlot(m_pD3DDevice);
    if (FAILED(CreateD3DDevice(D3D_DRIVER_TYPE_WARP))) {
      return FALSE;
    }
  }

  EmptySlot(m_pDxgiDevice);
  if (FAILED(m_pD3DDevice->QueryInterface(IID_PPV_ARGS(&m_pDxgiDevice)))) {
    return FALSE;
  }

  // A failed earlier attempt may have left a factory here; it is let go like
  // every other slot rather than overwritten.
  EmptySlot(m_pD2DFactory);
  D2D1_FACTORY_OPTIONS factoryOptions{};
  factoryOptions.debugLevel = D2D1_DEBUG_LEVEL_NONE;
  if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory1),
                               &factoryOptions, reinterpret_cast<void**>(&m_pD2DFactory)))) {
    return FALSE;
  }

  EmptySlot(m_pD2DDevice);
  if (FAILED(m_pD2DFactory->CreateDevice(m_pDxgiDevice, &m_pD2DDevice))) {
    return FALSE;
  }

  EmptySlot(m_pD2DContext);
  if (FAILED(m_pD2DDevice->CreateDeviceContext(D2D1_DEVICE_CONTEXT_OPTIONS_NONE, &m_pD2DContext))) {
    return FALSE;
  }

  EmptySlot(m_pDWriteFactory);
  if (FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                 reinterpret_cast<IUnknown**>(&m_pDWriteFactory)))) {
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
  CLocalRef<IDXGIAdapter> adapter;
  CLocalRef<IDXGIFactory2> factory;
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

  EmptySlot(m_pSwapChain);
  const RendererPlatform& platform = Platform();
  return FAILED(platform.m_pfnCreateSwapChainForComposition(
             platform.m_pContext, factory.Get(), m_pD3DDevice, &desc, nullptr, &m_pSwapChain))
             ? FALSE
             : TRUE;
}

BOOL CCompositionRenderer::BuildCompositionTree() noexcept {
  EmptySlot(m_pDCompDevice);
  const RendererPlatform& platform = Platform();
  if (FAILED(platform.m_pfnDCompositionCreateDevice(platform.m_pContext, m_pDxgiDevice,
                                                    __uuidof(IDCompositionDevice),
                                                    reinterpret_cast<void**>(&m_pDCompDevice)))) {
    return FALSE;
  }

  EmptySlot(m_pDCompTarget);
  if (FAILED(m_pDCompDevice->CreateTargetForHwnd(m_hWndHost, TRUE, &m_pDCompTarget))) {
    return FALSE;
  }

  EmptySlot(m_pDCompVisual);
  if (FAILED(m_pDCompDevice->CreateVisual(&m_pDCompVisual))) {
    return FALSE;
  }
  if (FAILED(m_pDCompVisual->SetContent(m_pSwapChain))) {
    return FALSE;
  }
  if (FAILED(m_pDCompTarget->SetRoot(m_pDCompVisual))) {
    return FALSE;
  }
  return FAILED(m_pDCompDevice->Commit()) ? FALSE : TRUE;
}

BOOL CCompositionRenderer::CreateTargetBitmap() noexcept {
  return FAILED(MakeTargetBitmap()) ? FALSE : TRUE;
}

HRESULT CCompositionRenderer::MakeTargetBitmap() noexcept {
  CLocalRef<IDXGISurface> surface;
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

  EmptySlot(m_pTargetBitmap);
  if (const HRESULT hr =
          m_pD2DContext->CreateBitmapFromDxgiSurface(surface.Get(), &properties, &m_pTargetBitmap);
      FAILED(hr)) {
    return hr;
  }
  m_pD2DContext->SetTarget(m_pTargetBitmap);
  return S_OK;
}

BOOL CCompositionRenderer::EndFrame() noexcept {
  if (!m_bInitialized || m_pD2DContext == nullptr) {
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
  EmptySlot(m_pTargetBitmap);
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
  if (m_pD2DContext != nullptr) {
    m_pD2DContext->SetTarget(nullptr);
  }
  EmptySlot(m_pTargetBitmap);
  EmptySlot(m_pDCompVisual);
  EmptySlot(m_pDCompTarget);
  EmptySlot(m_pDCompDevice);
  EmptySlot(m_pSwapChain);
  EmptySlot(m_pD2DContext);
  EmptySlot(m_pD2DDevice);
  EmptySlot(m_pDWriteFactory);
  EmptySlot(m_pD2DFactory);
  EmptySlot(m_pDxgiDevice);
  EmptySlot(m_pD3DContext);
  EmptySlot(m_pD3DDevice);
  m_bInitialized = FALSE;
}
