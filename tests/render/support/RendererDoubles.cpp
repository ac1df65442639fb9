#include "RendererDoubles.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "render/ComSlot.h"

namespace {

using StatePtr = std::shared_ptr<RendererDoublesState>;

// Spelled out: not every SDK's headers attach these to the interfaces.
constexpr IID kIidCompositionVisual = {
    0x4d93059d, 0x097b, 0x4651, {0x9a, 0x60, 0xf0, 0xf2, 0x51, 0x16, 0xe2, 0xf3}};
constexpr IID kIidCompositionTarget = {
    0xeacdd04c, 0x117e, 0x4e17, {0x88, 0xf4, 0xd1, 0xb1, 0x2b, 0x0e, 0x3d, 0x89}};

// Reference and live counting shared by the doubles; Derived is final.
template <class Derived, class Interface>
class CDouble : public Interface {
 public:
  CDouble(StatePtr pState, int RendererCallLog::*pnLive) noexcept
      : m_pState(std::move(pState)), m_pnLive(pnLive) {
    ++(Log().*m_pnLive);
  }

  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nRefs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG nRefs = --m_nRefs;
    if (nRefs == 0) {
      delete static_cast<Derived*>(this);
    }
    return nRefs;
  }

 protected:
  ~CDouble() { --(Log().*m_pnLive); }

  // Hands out this object when riid is one of iids.
  [[nodiscard]] bool Answers(std::initializer_list<IID> iids, REFIID riid, void** ppv) noexcept {
    if (std::find(iids.begin(), iids.end(), riid) == iids.end()) {
      return false;
    }
    *ppv = static_cast<Interface*>(this);
    AddRef();
    return true;
  }
  HRESULT AnswerOnly(std::initializer_list<IID> iids, REFIID riid, void** ppv) noexcept {
    if (Answers(iids, riid, ppv)) {
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }

  // Counts a call that may fail on request; the failure asked for, or S_OK.
  HRESULT Enter(HRESULT RendererFailures::*phrFail) noexcept {
    ++Log().m_nCalls;
    return Fail().*phrFail;
  }

  RendererCallLog& Log() noexcept { return m_pState->m_log; }
  RendererFailures& Fail() noexcept { return m_pState->m_fail; }

  StatePtr m_pState;
  int RendererCallLog::*m_pnLive;
  ULONG m_nRefs = 1;
};

// A real object seen through a double, so that chosen steps of it can fail.
template <class Derived, class Interface>
class CWrapper : public CDouble<Derived, Interface> {
 public:
  CWrapper(StatePtr pState, Interface* pReal) noexcept
      : CDouble<Derived, Interface>(std::move(pState), &RendererCallLog::m_nLiveWrappers),
        m_pReal(pReal) {
    m_pReal->AddRef();
  }

  HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT cb, const void* p) override {
    return m_pReal->SetPrivateData(guid, cb, p);
  }
  HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, const IUnknown* p) override {
    return m_pReal->SetPrivateDataInterface(guid, p);
  }
  HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* pcb, void* p) override {
    return m_pReal->GetPrivateData(guid, pcb, p);
  }

 protected:
  ~CWrapper() { EmptySlot(m_pReal); }

  Interface* m_pReal;
};

// ---------------------------------------------------------------------------
// Composition swap chain over two real textures.

class CSwapChainDouble final : public CDouble<CSwapChainDouble, IDXGISwapChain1> {
 public:
  CSwapChainDouble(StatePtr pState, ID3D11Device* pDevice,
                   const DXGI_SWAP_CHAIN_DESC1& desc) noexcept
      : CDouble(std::move(pState), &RendererCallLog::m_nLiveSwapChains),
        m_pDevice(pDevice),
        m_desc(desc) {
    m_pDevice->AddRef();
  }

  [[nodiscard]] HRESULT CreateBuffers() noexcept {
    for (ID3D11Texture2D*& pBuffer : m_buffers) {
      EmptySlot(pBuffer);
    }
    D3D11_TEXTURE2D_DESC textureDesc{};
    textureDesc.Width = m_desc.Width;
    textureDesc.Height = m_desc.Height;
    textureDesc.MipLevels = 1;
    textureDesc.ArraySize = 1;
    textureDesc.Format = m_desc.Format;
    textureDesc.SampleDesc = m_desc.SampleDesc;
    textureDesc.Usage = D3D11_USAGE_DEFAULT;
    textureDesc.BindFlags = D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE;
    for (ID3D11Texture2D*& pBuffer : m_buffers) {
      const HRESULT hr = m_pDevice->CreateTexture2D(&textureDesc, nullptr, &pBuffer);
      if (FAILED(hr)) {
        return hr;
      }
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return AnswerOnly({__uuidof(IUnknown), __uuidof(IDXGIObject), __uuidof(IDXGIDeviceSubObject),
                       __uuidof(IDXGISwapChain), __uuidof(IDXGISwapChain1)},
                      riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, UINT, const void*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID, const IUnknown*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, UINT*, void*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetParent(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDevice(REFIID riid, void** ppv) override {
    return m_pDevice->QueryInterface(riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE Present(UINT, UINT) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetBuffer(UINT nBuffer, REFIID riid, void** ppv) override {
    ++Log().m_nGetBuffers;
    *ppv = nullptr;
    if (const HRESULT hr = Enter(&RendererFailures::m_hrGetBuffer); FAILED(hr)) {
      return hr;
    }
    if (nBuffer >= std::size(m_buffers) || m_buffers[nBuffer] == nullptr) {
      return DXGI_ERROR_INVALID_CALL;
    }
    return m_buffers[nBuffer]->QueryInterface(riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE SetFullscreenState(BOOL, IDXGIOutput*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFullscreenState(BOOL*, IDXGIOutput**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDesc(DXGI_SWAP_CHAIN_DESC*) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE ResizeBuffers(UINT nCount, UINT nWidth, UINT nHeight,
                                          DXGI_FORMAT format, UINT nFlags) override {
    ++Log().m_nResizeBuffers;
    Log().m_nResizeCount = nCount;
    Log().m_resizeFormat = format;
    Log().m_nResizeFlags = nFlags;
    if (const HRESULT hr = Enter(&RendererFailures::m_hrResizeBuffers); FAILED(hr)) {
      return hr;
    }
    // Like the real one: no resize while anyone else holds a buffer.
    for (ID3D11Texture2D* pBuffer : m_buffers) {
      pBuffer->AddRef();
      if (pBuffer->Release() > 1) {
        return DXGI_ERROR_INVALID_CALL;
      }
    }
    m_desc.Width = nWidth;
    m_desc.Height = nHeight;
    return CreateBuffers();
  }

  HRESULT STDMETHODCALLTYPE ResizeTarget(const DXGI_MODE_DESC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetContainingOutput(IDXGIOutput** ppOutput) override {
    *ppOutput = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetFrameStatistics(DXGI_FRAME_STATISTICS*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetLastPresentCount(UINT*) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetDesc1(DXGI_SWAP_CHAIN_DESC1* pDesc) override {
    *pDesc = m_desc;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFullscreenDesc(DXGI_SWAP_CHAIN_FULLSCREEN_DESC*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetHwnd(HWND* phWnd) override {
    *phWnd = nullptr;
    return DXGI_ERROR_INVALID_CALL;
  }
  HRESULT STDMETHODCALLTYPE GetCoreWindow(REFIID, void** ppv) override {
    *ppv = nullptr;
    return DXGI_ERROR_INVALID_CALL;
  }

  HRESULT STDMETHODCALLTYPE Present1(UINT nSyncInterval, UINT nFlags,
                                     const DXGI_PRESENT_PARAMETERS* pParameters) override {
    ++Log().m_nPresents;
    Log().m_nSyncInterval = nSyncInterval;
    Log().m_nPresentFlags = nFlags;
    Log().m_bPresentParametersEmpty =
        (pParameters != nullptr && pParameters->DirtyRectsCount == 0 &&
         pParameters->pDirtyRects == nullptr && pParameters->pScrollRect == nullptr &&
         pParameters->pScrollOffset == nullptr)
            ? TRUE
            : FALSE;
    return Enter(&RendererFailures::m_hrPresent);
  }

  BOOL STDMETHODCALLTYPE IsTemporaryMonoSupported() override { return FALSE; }
  HRESULT STDMETHODCALLTYPE GetRestrictToOutput(IDXGIOutput** ppOutput) override {
    *ppOutput = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetBackgroundColor(const DXGI_RGBA*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetBackgroundColor(DXGI_RGBA*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetRotation(DXGI_MODE_ROTATION) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRotation(DXGI_MODE_ROTATION*) override { return E_NOTIMPL; }

 private:
  friend class CDouble<CSwapChainDouble, IDXGISwapChain1>;
  ~CSwapChainDouble() {
    for (ID3D11Texture2D*& pBuffer : m_buffers) {
      EmptySlot(pBuffer);
    }
    EmptySlot(m_pDevice);
  }

  ID3D11Device* m_pDevice;
  DXGI_SWAP_CHAIN_DESC1 m_desc;
  ID3D11Texture2D* m_buffers[2] = {};
};

// ---------------------------------------------------------------------------
// DirectComposition: a visual that holds its content, a target that holds its
// root, a device that counts commits.

class CVisualDouble final : public CDouble<CVisualDouble, IDCompositionVisual> {
 public:
  explicit CVisualDouble(StatePtr pState) noexcept
      : CDouble(std::move(pState), &RendererCallLog::m_nLiveVisuals) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return AnswerOnly({__uuidof(IUnknown), kIidCompositionVisual}, riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE SetOffsetX(float) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetOffsetX(IDCompositionAnimation*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetOffsetY(float) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetOffsetY(IDCompositionAnimation*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetTransform(const D2D_MATRIX_3X2_F&) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetTransform(IDCompositionTransform*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetTransformParent(IDCompositionVisual*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetEffect(IDCompositionEffect*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE
  SetBitmapInterpolationMode(DCOMPOSITION_BITMAP_INTERPOLATION_MODE) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetBorderMode(DCOMPOSITION_BORDER_MODE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetClip(const D2D_RECT_F&) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetClip(IDCompositionClip*) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE SetContent(IUnknown* pContent) override {
    if (const HRESULT hr = Enter(&RendererFailures::m_hrSetContent); FAILED(hr)) {
      return hr;
    }
    IDXGISwapChain1* pSwapChain = nullptr;
    Log().m_bContentIsSwapChain =
        (pContent != nullptr && SUCCEEDED(pContent->QueryInterface(IID_PPV_ARGS(&pSwapChain))))
            ? TRUE
            : FALSE;
    EmptySlot(pSwapChain);
    if (pContent != nullptr) {
      pContent->AddRef();
    }
    EmptySlot(m_pContent);
    m_pContent = pContent;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE AddVisual(IDCompositionVisual*, BOOL, IDCompositionVisual*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RemoveVisual(IDCompositionVisual*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RemoveAllVisuals() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetCompositeMode(DCOMPOSITION_COMPOSITE_MODE) override {
    return E_NOTIMPL;
  }

 private:
  friend class CDouble<CVisualDouble, IDCompositionVisual>;
  ~CVisualDouble() { EmptySlot(m_pContent); }

  IUnknown* m_pContent = nullptr;
};

class CTargetDouble final : public CDouble<CTargetDouble, IDCompositionTarget> {
 public:
  explicit CTargetDouble(StatePtr pState) noexcept
      : CDouble(std::move(pState), &RendererCallLog::m_nLiveTargets) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return AnswerOnly({__uuidof(IUnknown), kIidCompositionTarget}, riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE SetRoot(IDCompositionVisual* pVisual) override {
    if (const HRESULT hr = Enter(&RendererFailures::m_hrSetRoot); FAILED(hr)) {
      return hr;
    }
    Log().m_bRootIsVisual = pVisual != nullptr ? TRUE : FALSE;
    if (pVisual != nullptr) {
      pVisual->AddRef();
    }
    EmptySlot(m_pRoot);
    m_pRoot = pVisual;
    return S_OK;
  }

 private:
  friend class CDouble<CTargetDouble, IDCompositionTarget>;
  ~CTargetDouble() { EmptySlot(m_pRoot); }

  IDCompositionVisual* m_pRoot = nullptr;
};

class CCompositionDeviceDouble final
    : public CDouble<CCompositionDeviceDouble, IDCompositionDevice> {
 public:
  CCompositionDeviceDouble(StatePtr pState, IDXGIDevice* pDxgiDevice) noexcept
      : CDouble(std::move(pState), &RendererCallLog::m_nLiveCompositionDevices),
        m_pDxgiDevice(pDxgiDevice) {
    if (m_pDxgiDevice != nullptr) {
      m_pDxgiDevice->AddRef();
    }
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return AnswerOnly({__uuidof(IUnknown), __uuidof(IDCompositionDevice)}, riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE Commit() override {
    ++Log().m_nCommits;
    return Enter(&RendererFailures::m_hrCommit);
  }
  HRESULT STDMETHODCALLTYPE WaitForCommitCompletion() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFrameStatistics(DCOMPOSITION_FRAME_STATISTICS*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE CreateTargetForHwnd(HWND hWnd, BOOL bTopmost,
                                                IDCompositionTarget** ppTarget) override {
    ++Log().m_nTargets;
    Log().m_hTargetWnd = hWnd;
    Log().m_bTopmost = bTopmost;
    *ppTarget = nullptr;
    if (const HRESULT hr = Enter(&RendererFailures::m_hrCreateTarget); FAILED(hr)) {
      return hr;
    }
    *ppTarget = new CTargetDouble(m_pState);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE CreateVisual(IDCompositionVisual** ppVisual) override {
    ++Log().m_nVisuals;
    *ppVisual = nullptr;
    if (const HRESULT hr = Enter(&RendererFailures::m_hrCreateVisual); FAILED(hr)) {
      return hr;
    }
    *ppVisual = new CVisualDouble(m_pState);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE CreateSurface(UINT, UINT, DXGI_FORMAT, DXGI_ALPHA_MODE,
                                          IDCompositionSurface**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateVirtualSurface(UINT, UINT, DXGI_FORMAT, DXGI_ALPHA_MODE,
                                                 IDCompositionVirtualSurface**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateSurfaceFromHandle(HANDLE, IUnknown**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateSurfaceFromHwnd(HWND, IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateTranslateTransform(IDCompositionTranslateTransform**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateScaleTransform(IDCompositionScaleTransform**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateRotateTransform(IDCompositionRotateTransform**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateSkewTransform(IDCompositionSkewTransform**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateMatrixTransform(IDCompositionMatrixTransform**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateTransformGroup(IDCompositionTransform**, UINT,
                                                 IDCompositionTransform**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE
  CreateTranslateTransform3D(IDCompositionTranslateTransform3D**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateScaleTransform3D(IDCompositionScaleTransform3D**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateRotateTransform3D(IDCompositionRotateTransform3D**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateMatrixTransform3D(IDCompositionMatrixTransform3D**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateTransform3DGroup(IDCompositionTransform3D**, UINT,
                                                   IDCompositionTransform3D**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateEffectGroup(IDCompositionEffectGroup**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateRectangleClip(IDCompositionRectangleClip**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateAnimation(IDCompositionAnimation**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CheckDeviceState(BOOL* pbValid) override {
    *pbValid = TRUE;
    return S_OK;
  }

 private:
  friend class CDouble<CCompositionDeviceDouble, IDCompositionDevice>;
  ~CCompositionDeviceDouble() { EmptySlot(m_pDxgiDevice); }

  IDXGIDevice* m_pDxgiDevice;
};

// ---------------------------------------------------------------------------
// The real device seen through wrappers, so that the steps between device and
// swap chain (the DXGI side, its adapter, the adapter's factory) can fail.

class CAdapterWrapper final : public CWrapper<CAdapterWrapper, IDXGIAdapter> {
 public:
  using CWrapper::CWrapper;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (Answers({__uuidof(IUnknown), __uuidof(IDXGIObject), __uuidof(IDXGIAdapter)}, riid, ppv)) {
      return S_OK;
    }
    return m_pReal->QueryInterface(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE GetParent(REFIID riid, void** ppv) override {
    if (const HRESULT hr = Enter(&RendererFailures::m_hrGetFactory); FAILED(hr)) {
      *ppv = nullptr;
      return hr;
    }
    return m_pReal->GetParent(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE EnumOutputs(UINT n, IDXGIOutput** ppOutput) override {
    return m_pReal->EnumOutputs(n, ppOutput);
  }
  HRESULT STDMETHODCALLTYPE GetDesc(DXGI_ADAPTER_DESC* pDesc) override {
    return m_pReal->GetDesc(pDesc);
  }
  HRESULT STDMETHODCALLTYPE CheckInterfaceSupport(REFGUID guid, LARGE_INTEGER* pVersion) override {
    return m_pReal->CheckInterfaceSupport(guid, pVersion);
  }
};

class CDxgiDeviceWrapper final : public CWrapper<CDxgiDeviceWrapper, IDXGIDevice> {
 public:
  using CWrapper::CWrapper;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (Answers({__uuidof(IUnknown), __uuidof(IDXGIObject), __uuidof(IDXGIDevice)}, riid, ppv)) {
      return S_OK;
    }
    return m_pReal->QueryInterface(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE GetParent(REFIID riid, void** ppv) override {
    return m_pReal->GetParent(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE GetAdapter(IDXGIAdapter** ppAdapter) override {
    *ppAdapter = nullptr;
    if (const HRESULT hr = Enter(&RendererFailures::m_hrGetAdapter); FAILED(hr)) {
      return hr;
    }
    CLocalRef<IDXGIAdapter> adapter;
    const HRESULT hr = m_pReal->GetAdapter(adapter.Put());
    if (FAILED(hr)) {
      return hr;
    }
    *ppAdapter = new CAdapterWrapper(m_pState, adapter.Get());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateSurface(const DXGI_SURFACE_DESC* pDesc, UINT n, DXGI_USAGE usage,
                                          const DXGI_SHARED_RESOURCE* pShared,
                                          IDXGISurface** ppSurface) override {
    return m_pReal->CreateSurface(pDesc, n, usage, pShared, ppSurface);
  }
  HRESULT STDMETHODCALLTYPE QueryResourceResidency(IUnknown* const* ppResources,
                                                   DXGI_RESIDENCY* pStatus, UINT n) override {
    return m_pReal->QueryResourceResidency(ppResources, pStatus, n);
  }
  HRESULT STDMETHODCALLTYPE SetGPUThreadPriority(INT nPriority) override {
    return m_pReal->SetGPUThreadPriority(nPriority);
  }
  HRESULT STDMETHODCALLTYPE GetGPUThreadPriority(INT* pnPriority) override {
    return m_pReal->GetGPUThreadPriority(pnPriority);
  }
};

class CDeviceWrapper final : public CWrapper<CDeviceWrapper, ID3D11Device> {
 public:
  using CWrapper::CWrapper;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (Answers({__uuidof(IUnknown), __uuidof(ID3D11Device)}, riid, ppv)) {
      return S_OK;
    }
    if (riid == __uuidof(IDXGIDevice)) {
      *ppv = nullptr;
      if (const HRESULT hr = Enter(&RendererFailures::m_hrQueryDxgiDevice); FAILED(hr)) {
        return hr;
      }
      CLocalRef<IDXGIDevice> dxgiDevice;
      const HRESULT hr = m_pReal->QueryInterface(__uuidof(IDXGIDevice), dxgiDevice.PutVoid());
      if (FAILED(hr)) {
        return hr;
      }
      *ppv = static_cast<IDXGIDevice*>(new CDxgiDeviceWrapper(m_pState, dxgiDevice.Get()));
      return S_OK;
    }
    return m_pReal->QueryInterface(riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE CreateBuffer(const D3D11_BUFFER_DESC* pDesc,
                                         const D3D11_SUBRESOURCE_DATA* pInitialData,
                                         ID3D11Buffer** ppBuffer) override {
    return m_pReal->CreateBuffer(pDesc, pInitialData, ppBuffer);
  }
  HRESULT STDMETHODCALLTYPE CreateTexture1D(const D3D11_TEXTURE1D_DESC* pDesc,
                                            const D3D11_SUBRESOURCE_DATA* pInitialData,
                                            ID3D11Texture1D** ppTexture1D) override {
    return m_pReal->CreateTexture1D(pDesc, pInitialData, ppTexture1D);
  }
  HRESULT STDMETHODCALLTYPE CreateTexture2D(const D3D11_TEXTURE2D_DESC* pDesc,
                                            const D3D11_SUBRESOURCE_DATA* pInitialData,
                                            ID3D11Texture2D** ppTexture2D) override {
    return m_pReal->CreateTexture2D(pDesc, pInitialData, ppTexture2D);
  }
  HRESULT STDMETHODCALLTYPE CreateTexture3D(const D3D11_TEXTURE3D_DESC* pDesc,
                                            const D3D11_SUBRESOURCE_DATA* pInitialData,
                                            ID3D11Texture3D** ppTexture3D) override {
    return m_pReal->CreateTexture3D(pDesc, pInitialData, ppTexture3D);
  }
  HRESULT STDMETHODCALLTYPE CreateShaderResourceView(ID3D11Resource* pResource,
                                                     const D3D11_SHADER_RESOURCE_VIEW_DESC* pDesc,
                                                     ID3D11ShaderResourceView** ppSRView) override {
    return m_pReal->CreateShaderResourceView(pResource, pDesc, ppSRView);
  }
  HRESULT STDMETHODCALLTYPE CreateUnorderedAccessView(
      ID3D11Resource* pResource, const D3D11_UNORDERED_ACCESS_VIEW_DESC* pDesc,
      ID3D11UnorderedAccessView** ppUAView) override {
    return m_pReal->CreateUnorderedAccessView(pResource, pDesc, ppUAView);
  }
  HRESULT STDMETHODCALLTYPE CreateRenderTargetView(ID3D11Resource* pResource,
                                                   const D3D11_RENDER_TARGET_VIEW_DESC* pDesc,
                                                   ID3D11RenderTargetView** ppRTView) override {
    return m_pReal->CreateRenderTargetView(pResource, pDesc, ppRTView);
  }
  HRESULT STDMETHODCALLTYPE
  CreateDepthStencilView(ID3D11Resource* pResource, const D3D11_DEPTH_STENCIL_VIEW_DESC* pDesc,
                         ID3D11DepthStencilView** ppDepthStencilView) override {
    return m_pReal->CreateDepthStencilView(pResource, pDesc, ppDepthStencilView);
  }
  HRESULT STDMETHODCALLTYPE CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* pInputElementDescs,
                                              UINT NumElements,
                                              const void* pShaderBytecodeWithInputSignature,
                                              SIZE_T BytecodeLength,
                                              ID3D11InputLayout** ppInputLayout) override {
    return m_pReal->CreateInputLayout(pInputElementDescs, NumElements,
                                      pShaderBytecodeWithInputSignature, BytecodeLength,
                                      ppInputLayout);
  }
  HRESULT STDMETHODCALLTYPE CreateVertexShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                               ID3D11ClassLinkage* pClassLinkage,
                                               ID3D11VertexShader** ppVertexShader) override {
    return m_pReal->CreateVertexShader(pShaderBytecode, BytecodeLength, pClassLinkage,
                                       ppVertexShader);
  }
  HRESULT STDMETHODCALLTYPE CreateGeometryShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                                 ID3D11ClassLinkage* pClassLinkage,
                                                 ID3D11GeometryShader** ppGeometryShader) override {
    return m_pReal->CreateGeometryShader(pShaderBytecode, BytecodeLength, pClassLinkage,
                                         ppGeometryShader);
  }
  HRESULT STDMETHODCALLTYPE CreateGeometryShaderWithStreamOutput(
      const void* pShaderBytecode, SIZE_T BytecodeLength,
      const D3D11_SO_DECLARATION_ENTRY* pSODeclaration, UINT NumEntries, const UINT* pBufferStrides,
      UINT NumStrides, UINT RasterizedStream, ID3D11ClassLinkage* pClassLinkage,
      ID3D11GeometryShader** ppGeometryShader) override {
    return m_pReal->CreateGeometryShaderWithStreamOutput(
        pShaderBytecode, BytecodeLength, pSODeclaration, NumEntries, pBufferStrides, NumStrides,
        RasterizedStream, pClassLinkage, ppGeometryShader);
  }
  HRESULT STDMETHODCALLTYPE CreatePixelShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                              ID3D11ClassLinkage* pClassLinkage,
                                              ID3D11PixelShader** ppPixelShader) override {
    return m_pReal->CreatePixelShader(pShaderBytecode, BytecodeLength, pClassLinkage,
                                      ppPixelShader);
  }
  HRESULT STDMETHODCALLTYPE CreateHullShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                             ID3D11ClassLinkage* pClassLinkage,
                                             ID3D11HullShader** ppHullShader) override {
    return m_pReal->CreateHullShader(pShaderBytecode, BytecodeLength, pClassLinkage, ppHullShader);
  }
  HRESULT STDMETHODCALLTYPE CreateDomainShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                               ID3D11ClassLinkage* pClassLinkage,
                                               ID3D11DomainShader** ppDomainShader) override {
    return m_pReal->CreateDomainShader(pShaderBytecode, BytecodeLength, pClassLinkage,
                                       ppDomainShader);
  }
  HRESULT STDMETHODCALLTYPE CreateComputeShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                                ID3D11ClassLinkage* pClassLinkage,
                                                ID3D11ComputeShader** ppComputeShader) override {
    return m_pReal->CreateComputeShader(pShaderBytecode, BytecodeLength, pClassLinkage,
                                        ppComputeShader);
  }
  HRESULT STDMETHODCALLTYPE CreateClassLinkage(ID3D11ClassLinkage** ppLinkage) override {
    return m_pReal->CreateClassLinkage(ppLinkage);
  }
  HRESULT STDMETHODCALLTYPE CreateBlendState(const D3D11_BLEND_DESC* pBlendStateDesc,
                                             ID3D11BlendState** ppBlendState) override {
    return m_pReal->CreateBlendState(pBlendStateDesc, ppBlendState);
  }
  HRESULT STDMETHODCALLTYPE
  CreateDepthStencilState(const D3D11_DEPTH_STENCIL_DESC* pDepthStencilDesc,
                          ID3D11DepthStencilState** ppDepthStencilState) override {
    return m_pReal->CreateDepthStencilState(pDepthStencilDesc, ppDepthStencilState);
  }
  HRESULT STDMETHODCALLTYPE
  CreateRasterizerState(const D3D11_RASTERIZER_DESC* pRasterizerDesc,
                        ID3D11RasterizerState** ppRasterizerState) override {
    return m_pReal->CreateRasterizerState(pRasterizerDesc, ppRasterizerState);
  }
  HRESULT STDMETHODCALLTYPE CreateSamplerState(const D3D11_SAMPLER_DESC* pSamplerDesc,
                                               ID3D11SamplerState** ppSamplerState) override {
    return m_pReal->CreateSamplerState(pSamplerDesc, ppSamplerState);
  }
  HRESULT STDMETHODCALLTYPE CreateQuery(const D3D11_QUERY_DESC* pQueryDesc,
                                        ID3D11Query** ppQuery) override {
    return m_pReal->CreateQuery(pQueryDesc, ppQuery);
  }
  HRESULT STDMETHODCALLTYPE CreatePredicate(const D3D11_QUERY_DESC* pPredicateDesc,
                                            ID3D11Predicate** ppPredicate) override {
    return m_pReal->CreatePredicate(pPredicateDesc, ppPredicate);
  }
  HRESULT STDMETHODCALLTYPE CreateCounter(const D3D11_COUNTER_DESC* pCounterDesc,
                                          ID3D11Counter** ppCounter) override {
    return m_pReal->CreateCounter(pCounterDesc, ppCounter);
  }
  HRESULT STDMETHODCALLTYPE
  CreateDeferredContext(UINT ContextFlags, ID3D11DeviceContext** ppDeferredContext) override {
    return m_pReal->CreateDeferredContext(ContextFlags, ppDeferredContext);
  }
  HRESULT STDMETHODCALLTYPE OpenSharedResource(HANDLE hResource, REFIID ReturnedInterface,
                                               void** ppResource) override {
    return m_pReal->OpenSharedResource(hResource, ReturnedInterface, ppResource);
  }
  HRESULT STDMETHODCALLTYPE CheckFormatSupport(DXGI_FORMAT Format, UINT* pFormatSupport) override {
    return m_pReal->CheckFormatSupport(Format, pFormatSupport);
  }
  HRESULT STDMETHODCALLTYPE CheckMultisampleQualityLevels(DXGI_FORMAT Format, UINT SampleCount,
                                                          UINT* pNumQualityLevels) override {
    return m_pReal->CheckMultisampleQualityLevels(Format, SampleCount, pNumQualityLevels);
  }
  void STDMETHODCALLTYPE CheckCounterInfo(D3D11_COUNTER_INFO* pCounterInfo) override {
    m_pReal->CheckCounterInfo(pCounterInfo);
  }
  HRESULT STDMETHODCALLTYPE CheckCounter(const D3D11_COUNTER_DESC* pDesc, D3D11_COUNTER_TYPE* pType,
                                         UINT* pActiveCounters, LPSTR szName, UINT* pNameLength,
                                         LPSTR szUnits, UINT* pUnitsLength, LPSTR szDescription,
                                         UINT* pDescriptionLength) override {
    return m_pReal->CheckCounter(pDesc, pType, pActiveCounters, szName, pNameLength, szUnits,
                                 pUnitsLength, szDescription, pDescriptionLength);
  }
  HRESULT STDMETHODCALLTYPE CheckFeatureSupport(D3D11_FEATURE Feature, void* pFeatureSupportData,
                                                UINT FeatureSupportDataSize) override {
    return m_pReal->CheckFeatureSupport(Feature, pFeatureSupportData, FeatureSupportDataSize);
  }
  D3D_FEATURE_LEVEL STDMETHODCALLTYPE GetFeatureLevel() override {
    return m_pReal->GetFeatureLevel();
  }
  UINT STDMETHODCALLTYPE GetCreationFlags() override { return m_pReal->GetCreationFlags(); }
  HRESULT STDMETHODCALLTYPE GetDeviceRemovedReason() override {
    return m_pReal->GetDeviceRemovedReason();
  }
  void STDMETHODCALLTYPE GetImmediateContext(ID3D11DeviceContext** ppImmediateContext) override {
    m_pReal->GetImmediateContext(ppImmediateContext);
  }
  HRESULT STDMETHODCALLTYPE SetExceptionMode(UINT RaiseFlags) override {
    return m_pReal->SetExceptionMode(RaiseFlags);
  }
  UINT STDMETHODCALLTYPE GetExceptionMode() override { return m_pReal->GetExceptionMode(); }
};

// ---------------------------------------------------------------------------
// The table's entries.

RendererDoublesState& StateOf(void* pContext) noexcept {
  return *static_cast<StatePtr*>(pContext)->get();
}

HRESULT CreateDevice(void* pContext, IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE driverType,
                     HMODULE hSoftware, UINT nFlags, const D3D_FEATURE_LEVEL* pFeatureLevels,
                     UINT nFeatureLevels, UINT nSdkVersion, ID3D11Device** ppDevice,
                     D3D_FEATURE_LEVEL* pFeatureLevel, ID3D11DeviceContext** ppContext) noexcept {
  RendererDoublesState& state = StateOf(pContext);
  RendererCallLog& log = state.m_log;
  ++log.m_nCalls;
  log.m_driverTypes.push_back(driverType);
  log.m_bDefaultAdapter = pAdapter == nullptr ? TRUE : FALSE;
  log.m_hSoftware = hSoftware;
  log.m_nDeviceFlags = nFlags;
  log.m_featureLevels.assign(pFeatureLevels, pFeatureLevels + nFeatureLevels);
  log.m_nSdkVersion = nSdkVersion;
  log.m_bFeatureLevelOut = pFeatureLevel != nullptr ? TRUE : FALSE;
  log.m_bContextOut = ppContext != nullptr ? TRUE : FALSE;

  HRESULT hrFail = S_OK;
  if (driverType == D3D_DRIVER_TYPE_HARDWARE) {
    hrFail = state.m_fail.m_hrHardwareDevice;
  } else if (driverType == D3D_DRIVER_TYPE_WARP) {
    hrFail = state.m_fail.m_hrWarpDevice;
  }
  if (FAILED(hrFail)) {
    *ppDevice = nullptr;
    if (ppContext != nullptr) {
      *ppContext = nullptr;
    }
    return hrFail;
  }
  const HRESULT hr =
      D3D11CreateDevice(pAdapter, driverType, hSoftware, nFlags, pFeatureLevels, nFeatureLevels,
                        nSdkVersion, ppDevice, pFeatureLevel, ppContext);
  const RendererFailures& fail = state.m_fail;
  if (SUCCEEDED(hr) && (FAILED(fail.m_hrQueryDxgiDevice) || FAILED(fail.m_hrGetAdapter) ||
                        FAILED(fail.m_hrGetFactory))) {
    ID3D11Device* pReal = *ppDevice;
    *ppDevice = new CDeviceWrapper(*static_cast<StatePtr*>(pContext), pReal);
    pReal->Release();
  }
  state.m_pLastDevice = SUCCEEDED(hr) ? *ppDevice : nullptr;
  return hr;
}

HRESULT CreateSwapChain(void* pContext, IDXGIFactory2*, IUnknown* pDevice,
                        const DXGI_SWAP_CHAIN_DESC1* pDesc, IDXGIOutput* pRestrictToOutput,
                        IDXGISwapChain1** ppSwapChain) noexcept {
  StatePtr& pState = *static_cast<StatePtr*>(pContext);
  RendererCallLog& log = pState->m_log;
  ++log.m_nCalls;
  ++log.m_nSwapChainCreations;
  log.m_swapChainDesc = *pDesc;
  log.m_bSwapChainOnDevice =
      (pDevice != nullptr && pDevice == pState->m_pLastDevice) ? TRUE : FALSE;
  log.m_bRestrictedToOutput = pRestrictToOutput != nullptr ? TRUE : FALSE;
  *ppSwapChain = nullptr;
  if (FAILED(pState->m_fail.m_hrCreateSwapChain)) {
    return pState->m_fail.m_hrCreateSwapChain;
  }

  CLocalRef<ID3D11Device> device;
  if (FAILED(pDevice->QueryInterface(__uuidof(ID3D11Device), device.PutVoid()))) {
    return DXGI_ERROR_INVALID_CALL;
  }
  auto* pSwapChain = new CSwapChainDouble(pState, device.Get(), *pDesc);
  const HRESULT hr = pSwapChain->CreateBuffers();
  if (FAILED(hr)) {
    pSwapChain->Release();
    return hr;
  }
  *ppSwapChain = pSwapChain;
  return S_OK;
}

HRESULT CreateCompositionDevice(void* pContext, IDXGIDevice* pDxgiDevice, REFIID riid,
                                void** ppDevice) noexcept {
  StatePtr& pState = *static_cast<StatePtr*>(pContext);
  RendererCallLog& log = pState->m_log;
  ++log.m_nCalls;
  ++log.m_nCompositionDevices;
  *ppDevice = nullptr;
  CLocalRef<IDXGIDevice> lastDxgiDevice;
  if (pState->m_pLastDevice != nullptr) {
    (void)pState->m_pLastDevice->QueryInterface(__uuidof(IDXGIDevice), lastDxgiDevice.PutVoid());
  }
  log.m_bCompositionOnDxgiDevice =
      (pDxgiDevice != nullptr && pDxgiDevice == lastDxgiDevice.Get()) ? TRUE : FALSE;
  if (FAILED(pState->m_fail.m_hrCreateCompositionDevice)) {
    return pState->m_fail.m_hrCreateCompositionDevice;
  }
  auto* pDevice = new CCompositionDeviceDouble(pState, pDxgiDevice);
  const HRESULT hr = pDevice->QueryInterface(riid, ppDevice);
  pDevice->Release();
  return hr;
}

}  // namespace

CRendererDoubles::CRendererDoubles() : m_pState(std::make_shared<RendererDoublesState>()) {
  m_platform.m_pContext = &m_pState;
  m_platform.m_pfnD3D11CreateDevice = &CreateDevice;
  m_platform.m_pfnCreateSwapChainForComposition = &CreateSwapChain;
  m_platform.m_pfnDCompositionCreateDevice = &CreateCompositionDevice;
}

BOOL ReadBackPixels(const CCompositionRenderer& renderer, PixelImage& image) noexcept {
  image = PixelImage{};
  if (renderer.m_pSwapChain == nullptr || renderer.m_pD3DDevice == nullptr) {
    return FALSE;
  }
  CLocalRef<ID3D11Texture2D> buffer;
  if (FAILED(renderer.m_pSwapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), buffer.PutVoid()))) {
    return FALSE;
  }
  D3D11_TEXTURE2D_DESC desc{};
  buffer->GetDesc(&desc);
  desc.Usage = D3D11_USAGE_STAGING;
  desc.BindFlags = 0;
  desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  desc.MiscFlags = 0;
  CLocalRef<ID3D11Texture2D> staging;
  if (FAILED(renderer.m_pD3DDevice->CreateTexture2D(&desc, nullptr, staging.Put()))) {
    return FALSE;
  }
  CLocalRef<ID3D11DeviceContext> context;
  renderer.m_pD3DDevice->GetImmediateContext(context.Put());
  context->CopyResource(staging.Get(), buffer.Get());
  D3D11_MAPPED_SUBRESOURCE mapped{};
  if (FAILED(context->Map(staging.Get(), 0, D3D11_MAP_READ, 0, &mapped))) {
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
  context->Unmap(staging.Get(), 0);
  return TRUE;
}

namespace {

constexpr wchar_t kHostWindowClass[] = L"NimbrelRenderTestHost";

LRESULT CALLBACK HostWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

void RegisterHostClass() noexcept {
  static const ATOM s_atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &HostWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kHostWindowClass;
    return RegisterClassExW(&wc);
  }();
  (void)s_atom;
}

}  // namespace

CHostWindow::CHostWindow(int cx, int cy) noexcept {
  RegisterHostClass();
  m_hWnd = CreateWindowExW(WS_EX_NOREDIRECTIONBITMAP, kHostWindowClass, L"", WS_POPUP, 0, 0, cx, cy,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

CHostWindow::~CHostWindow() {
  if (m_hWnd != nullptr) {
    DestroyWindow(m_hWnd);
  }
}

void CHostWindow::SetClientSize(int cx, int cy) noexcept {
  SetWindowPos(m_hWnd, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
