// A composition swap chain without a compositor: two real Direct3D 11
// textures as its buffers, presenting to nobody.

#include <iterator>
#include <new>

#include "render/ComSlot.h"
#include "offscreen/ComObject.h"
#include "offscreen/OffscreenLink.h"

namespace {

class COffscreenSwapChain final : public TComObject<COffscreenSwapChain, IDXGISwapChain1> {
 public:
  COffscreenSwapChain(OffscreenObserverPtr pObserver, ID3D11Device* pDevice,
                      const DXGI_SWAP_CHAIN_DESC1& desc) noexcept
      : m_link(std::move(pObserver), OffscreenObject::SwapChain, this),
        m_pDevice(pDevice),
        m_desc(desc) {
    m_pDevice->AddRef();
  }
  ~COffscreenSwapChain() {
    for (ID3D11Texture2D*& pBuffer : m_buffers) {
      EmptySlot(pBuffer);
    }
    EmptySlot(m_pDevice);
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
    *ppv = nullptr;
    if (const HRESULT hr = m_link.Ask(&COffscreenObserver::GetBuffer, nBuffer); FAILED(hr)) {
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
    if (const HRESULT hr =
            m_link.Ask(&COffscreenObserver::ResizeBuffers, nCount, nWidth, nHeight, format, nFlags);
        FAILED(hr)) {
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
    return m_link.Ask(&COffscreenObserver::Present1, nSyncInterval, nFlags, pParameters);
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
  COffscreenLink m_link;
  ID3D11Device* m_pDevice;
  DXGI_SWAP_CHAIN_DESC1 m_desc;
  ID3D11Texture2D* m_buffers[2] = {};
};

}  // namespace

HRESULT CreateOffscreenSwapChain(IUnknown* pDevice, const DXGI_SWAP_CHAIN_DESC1* pDesc,
                                 const OffscreenObserverPtr& pObserver,
                                 IDXGISwapChain1** ppSwapChain) noexcept {
  *ppSwapChain = nullptr;
  if (pDevice == nullptr || pDesc == nullptr) {
    return DXGI_ERROR_INVALID_CALL;
  }
  TComPtr<ID3D11Device> device;
  if (FAILED(pDevice->QueryInterface(__uuidof(ID3D11Device), device.PutVoid()))) {
    return DXGI_ERROR_INVALID_CALL;
  }
  auto* pSwapChain = new (std::nothrow) COffscreenSwapChain(pObserver, device.Get(), *pDesc);
  if (pSwapChain == nullptr) {
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = pSwapChain->CreateBuffers();
  if (FAILED(hr)) {
    pSwapChain->Release();
    return hr;
  }
  *ppSwapChain = pSwapChain;
  return S_OK;
}
