// DirectComposition without a compositor: a device, a target that holds its
// root visual, and a visual that holds its content. Nothing is ever shown.

#include <new>

#include "render/ComSlot.h"
#include "offscreen/ComObject.h"
#include "offscreen/OffscreenLink.h"

namespace {

// Spelled out: not every SDK's headers attach these to the interfaces.
constexpr IID kIidCompositionVisual = {
    0x4d93059d, 0x097b, 0x4651, {0x9a, 0x60, 0xf0, 0xf2, 0x51, 0x16, 0xe2, 0xf3}};
constexpr IID kIidCompositionTarget = {
    0xeacdd04c, 0x117e, 0x4e17, {0x88, 0xf4, 0xd1, 0xb1, 0x2b, 0x0e, 0x3d, 0x89}};

class COffscreenVisual final : public TComObject<COffscreenVisual, IDCompositionVisual> {
 public:
  explicit COffscreenVisual(OffscreenObserverPtr pObserver) noexcept
      : m_link(std::move(pObserver), OffscreenObject::Visual, this) {}
  ~COffscreenVisual() { EmptySlot(m_pContent); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
    return AnswerOnly({__uuidof(IUnknown), kIidCompositionVisual}, riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE SetOffsetX(float) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetOffsetX(IDCompositionAnimation*) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetOffsetY(float) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetOffsetY(IDCompositionAnimation*) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetTransform(const D2D_MATRIX_3X2_F&) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetTransform(IDCompositionTransform*) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetTransformParent(IDCompositionVisual*) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetEffect(IDCompositionEffect*) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE
  SetBitmapInterpolationMode(DCOMPOSITION_BITMAP_INTERPOLATION_MODE) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetBorderMode(DCOMPOSITION_BORDER_MODE) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetClip(const D2D_RECT_F&) noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetClip(IDCompositionClip*) noexcept override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE SetContent(IUnknown* pContent) noexcept override {
    if (const HRESULT hr = m_link.Ask(&COffscreenObserver::SetContent, pContent); FAILED(hr)) {
      return hr;
    }
    if (pContent != nullptr) {
      pContent->AddRef();
    }
    EmptySlot(m_pContent);
    m_pContent = pContent;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE AddVisual(IDCompositionVisual*, BOOL,
                                      IDCompositionVisual*) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RemoveVisual(IDCompositionVisual*) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RemoveAllVisuals() noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetCompositeMode(DCOMPOSITION_COMPOSITE_MODE) noexcept override {
    return E_NOTIMPL;
  }

 private:
  COffscreenLink m_link;

  IUnknown* m_pContent = nullptr;
};

class COffscreenTarget final : public TComObject<COffscreenTarget, IDCompositionTarget> {
 public:
  explicit COffscreenTarget(OffscreenObserverPtr pObserver) noexcept
      : m_link(std::move(pObserver), OffscreenObject::Target, this) {}
  ~COffscreenTarget() { EmptySlot(m_pRoot); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
    return AnswerOnly({__uuidof(IUnknown), kIidCompositionTarget}, riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE SetRoot(IDCompositionVisual* pVisual) noexcept override {
    if (const HRESULT hr = m_link.Ask(&COffscreenObserver::SetRoot, pVisual); FAILED(hr)) {
      return hr;
    }
    if (pVisual != nullptr) {
      pVisual->AddRef();
    }
    EmptySlot(m_pRoot);
    m_pRoot = pVisual;
    return S_OK;
  }

 private:
  COffscreenLink m_link;

  IDCompositionVisual* m_pRoot = nullptr;
};

class COffscreenCompositionDevice final
    : public TComObject<COffscreenCompositionDevice, IDCompositionDevice> {
 public:
  COffscreenCompositionDevice(OffscreenObserverPtr pObserver, IDXGIDevice* pDxgiDevice) noexcept
      : m_link(std::move(pObserver), OffscreenObject::CompositionDevice, this),
        m_pDxgiDevice(pDxgiDevice) {
    if (m_pDxgiDevice != nullptr) {
      m_pDxgiDevice->AddRef();
    }
  }

  ~COffscreenCompositionDevice() { EmptySlot(m_pDxgiDevice); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override {
    return AnswerOnly({__uuidof(IUnknown), __uuidof(IDCompositionDevice)}, riid, ppv);
  }

  HRESULT STDMETHODCALLTYPE Commit() noexcept override {
    return m_link.Ask(&COffscreenObserver::Commit);
  }
  HRESULT STDMETHODCALLTYPE WaitForCommitCompletion() noexcept override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFrameStatistics(DCOMPOSITION_FRAME_STATISTICS*) noexcept override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE CreateTargetForHwnd(HWND hWnd, BOOL bTopmost,
                                                IDCompositionTarget** ppTarget) noexcept override {
    *ppTarget = nullptr;
    if (const HRESULT hr = m_link.Ask(&COffscreenObserver::CreateTargetForHwnd, hWnd, bTopmost);
        FAILED(hr)) {
      return hr;
    }
    auto* pTarget = new (std::nothrow) COffscreenTarget(m_link.Observer());
    if (pTarget == nullptr) {
      return E_OUTOFMEMORY;
    }
    if (m_link.Observer() != nullptr) {
      m_link.Observer()->TargetBound(pTarget, hWnd);
    }
    *ppTarget = pTarget;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE CreateVisual(IDCompositionVisual** ppVisual) noexcept override {
    *ppVisual = nullptr;
    if (const HRESULT hr = m_link.Ask(&COffscreenObserver::CreateVisual); FAILED(hr)) {
      return hr;
    }
    *ppVisual = new (std::nothrow) COffscreenVisual(m_link.Observer());
    if (*ppVisual == nullptr) {
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE CreateSurface(UINT, UINT, DXGI_FORMAT, DXGI_ALPHA_MODE,
                                          IDCompositionSurface**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateVirtualSurface(UINT, UINT, DXGI_FORMAT, DXGI_ALPHA_MODE,
                                                 IDCompositionVirtualSurface**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateSurfaceFromHandle(HANDLE, IUnknown**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateSurfaceFromHwnd(HWND, IUnknown**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE
  CreateTranslateTransform(IDCompositionTranslateTransform**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateScaleTransform(IDCompositionScaleTransform**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE
  CreateRotateTransform(IDCompositionRotateTransform**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateSkewTransform(IDCompositionSkewTransform**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE
  CreateMatrixTransform(IDCompositionMatrixTransform**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateTransformGroup(IDCompositionTransform**, UINT,
                                                 IDCompositionTransform**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE
  CreateTranslateTransform3D(IDCompositionTranslateTransform3D**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE
  CreateScaleTransform3D(IDCompositionScaleTransform3D**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE
  CreateRotateTransform3D(IDCompositionRotateTransform3D**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE
  CreateMatrixTransform3D(IDCompositionMatrixTransform3D**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateTransform3DGroup(IDCompositionTransform3D**, UINT,
                                                   IDCompositionTransform3D**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateEffectGroup(IDCompositionEffectGroup**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateRectangleClip(IDCompositionRectangleClip**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateAnimation(IDCompositionAnimation**) noexcept override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CheckDeviceState(BOOL* pbValid) noexcept override {
    *pbValid = TRUE;
    return S_OK;
  }

 private:
  COffscreenLink m_link;

  IDXGIDevice* m_pDxgiDevice;
};

}  // namespace

HRESULT CreateOffscreenCompositionDevice(IDXGIDevice* pDxgiDevice, REFIID riid,
                                         const OffscreenObserverPtr& pObserver,
                                         void** ppDevice) noexcept {
  *ppDevice = nullptr;
  auto* pDevice = new (std::nothrow) COffscreenCompositionDevice(pObserver, pDxgiDevice);
  if (pDevice == nullptr) {
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = pDevice->QueryInterface(riid, ppDevice);
  pDevice->Release();
  return hr;
}
