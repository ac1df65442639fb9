#include "support/RendererDoubles.h"

#include <utility>

#include "render/ComSlot.h"
#include "offscreen/ComObject.h"

namespace {

// ID2D1RenderTarget::EndDraw: after IUnknown's three, ID2D1Resource's
// GetFactory and the render target's forty-five methods before it.
constexpr std::size_t kEndDrawMethod = 49;
CEndDrawFailure* g_pEndDrawFailure = nullptr;

using StatePtr = std::shared_ptr<RendererDoublesState>;

// A real object seen through a double, so that chosen steps of it can fail.
template <class Derived, class Interface>
class CWrapper : public TComObject<Derived, Interface> {
 public:
  CWrapper(StatePtr pState, Interface* pReal) noexcept
      : m_pState(std::move(pState)), m_pReal(pReal) {
    m_pReal->AddRef();
    ++m_pState->m_log.m_nLiveWrappers;
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
  ~CWrapper() {
    EmptySlot(m_pReal);
    --m_pState->m_log.m_nLiveWrappers;
  }
  HRESULT Enter(HRESULT RendererFailures::*phrFail) noexcept { return m_pState->Enter(phrFail); }

  StatePtr m_pState;
  Interface* m_pReal;
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
    TComPtr<IDXGIAdapter> adapter;
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
      TComPtr<IDXGIDevice> dxgiDevice;
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
  return CreateOffscreenSwapChain(pDevice, pDesc, pState, ppSwapChain);
}

HRESULT CreateCompositionDevice(void* pContext, IDXGIDevice* pDxgiDevice, REFIID riid,
                                void** ppDevice) noexcept {
  StatePtr& pState = *static_cast<StatePtr*>(pContext);
  RendererCallLog& log = pState->m_log;
  ++log.m_nCalls;
  ++log.m_nCompositionDevices;
  *ppDevice = nullptr;
  TComPtr<IDXGIDevice> lastDxgiDevice;
  if (pState->m_pLastDevice != nullptr) {
    (void)pState->m_pLastDevice->QueryInterface(__uuidof(IDXGIDevice), lastDxgiDevice.PutVoid());
  }
  log.m_bCompositionOnDxgiDevice =
      (pDxgiDevice != nullptr && pDxgiDevice == lastDxgiDevice.Get()) ? TRUE : FALSE;
  if (FAILED(pState->m_fail.m_hrCreateCompositionDevice)) {
    return pState->m_fail.m_hrCreateCompositionDevice;
  }
  return CreateOffscreenCompositionDevice(pDxgiDevice, riid, pState, ppDevice);
}

}  // namespace

CRendererDoubles::CRendererDoubles() : m_pState(std::make_shared<RendererDoublesState>()) {
  m_platform.m_pContext = &m_pState;
  m_platform.m_pfnD3D11CreateDevice = &CreateDevice;
  m_platform.m_pfnCreateSwapChainForComposition = &CreateSwapChain;
  m_platform.m_pfnDCompositionCreateDevice = &CreateCompositionDevice;
}

int& RendererDoublesState::LiveCount(OffscreenObject kind) noexcept {
  switch (kind) {
    case OffscreenObject::SwapChain:
      return m_log.m_nLiveSwapChains;
    case OffscreenObject::CompositionDevice:
      return m_log.m_nLiveCompositionDevices;
    case OffscreenObject::Target:
      return m_log.m_nLiveTargets;
    case OffscreenObject::Visual:
      break;
  }
  return m_log.m_nLiveVisuals;
}

HRESULT RendererDoublesState::Enter(HRESULT RendererFailures::*phrFail) noexcept {
  ++m_log.m_nCalls;
  return m_fail.*phrFail;
}

HRESULT RendererDoublesState::GetBuffer(IUnknown*, UINT) noexcept {
  ++m_log.m_nGetBuffers;
  return Enter(&RendererFailures::m_hrGetBuffer);
}

HRESULT RendererDoublesState::ResizeBuffers(IUnknown*, UINT nCount, UINT, UINT, DXGI_FORMAT format,
                                            UINT nFlags) noexcept {
  ++m_log.m_nResizeBuffers;
  m_log.m_nResizeCount = nCount;
  m_log.m_resizeFormat = format;
  m_log.m_nResizeFlags = nFlags;
  return Enter(&RendererFailures::m_hrResizeBuffers);
}

HRESULT RendererDoublesState::Present1(IUnknown*, UINT nSyncInterval, UINT nFlags,
                                       const DXGI_PRESENT_PARAMETERS* pParameters) noexcept {
  ++m_log.m_nPresents;
  m_log.m_nSyncInterval = nSyncInterval;
  m_log.m_nPresentFlags = nFlags;
  m_log.m_bPresentParametersEmpty =
      (pParameters != nullptr && pParameters->DirtyRectsCount == 0 &&
       pParameters->pDirtyRects == nullptr && pParameters->pScrollRect == nullptr &&
       pParameters->pScrollOffset == nullptr)
          ? TRUE
          : FALSE;
  return Enter(&RendererFailures::m_hrPresent);
}

HRESULT RendererDoublesState::Commit(IUnknown*) noexcept {
  ++m_log.m_nCommits;
  return Enter(&RendererFailures::m_hrCommit);
}

HRESULT RendererDoublesState::CreateTargetForHwnd(IUnknown*, HWND hWnd, BOOL bTopmost) noexcept {
  ++m_log.m_nTargets;
  m_log.m_hTargetWnd = hWnd;
  m_log.m_bTopmost = bTopmost;
  return Enter(&RendererFailures::m_hrCreateTarget);
}

HRESULT RendererDoublesState::CreateVisual(IUnknown*) noexcept {
  ++m_log.m_nVisuals;
  return Enter(&RendererFailures::m_hrCreateVisual);
}

HRESULT RendererDoublesState::SetContent(IUnknown*, IUnknown* pContent) noexcept {
  const HRESULT hr = Enter(&RendererFailures::m_hrSetContent);
  if (SUCCEEDED(hr)) {
    TComPtr<IDXGISwapChain1> swapChain;
    m_log.m_bContentIsSwapChain =
        (pContent != nullptr &&
         SUCCEEDED(pContent->QueryInterface(__uuidof(IDXGISwapChain1), swapChain.PutVoid())))
            ? TRUE
            : FALSE;
  }
  return hr;
}

HRESULT RendererDoublesState::SetRoot(IUnknown*, IDCompositionVisual* pVisual) noexcept {
  const HRESULT hr = Enter(&RendererFailures::m_hrSetRoot);
  if (SUCCEEDED(hr)) {
    m_log.m_bRootIsVisual = pVisual != nullptr ? TRUE : FALSE;
  }
  return hr;
}

CEndDrawFailure::CEndDrawFailure(ID2D1DeviceContext* pContext, HRESULT hr) noexcept : m_hr(hr) {
  if (pContext == nullptr || g_pEndDrawFailure != nullptr) {
    return;
  }
  m_patch.emplace(pContext, kEndDrawMethod, reinterpret_cast<const void*>(&FailingEndDraw));
  g_pEndDrawFailure = this;
}

CEndDrawFailure::~CEndDrawFailure() {
  if (g_pEndDrawFailure == this) {
    m_patch.reset();
    g_pEndDrawFailure = nullptr;
  }
}

HRESULT STDMETHODCALLTYPE CEndDrawFailure::FailingEndDraw(ID2D1RenderTarget* pTarget,
                                                          D2D1_TAG* pTag1, D2D1_TAG* pTag2) {
  using Fn = HRESULT(STDMETHODCALLTYPE*)(ID2D1RenderTarget*, D2D1_TAG*, D2D1_TAG*);
  CEndDrawFailure& self = *g_pEndDrawFailure;
  // The drawing ends for real, so the context is ready for the next frame.
  (void)self.m_patch->Original<Fn>()(pTarget, pTag1, pTag2);
  ++self.m_nFailed;
  return self.m_hr;
}
