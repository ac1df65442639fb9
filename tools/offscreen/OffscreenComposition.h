#pragma once
// Off-screen stand-ins for the two platform pieces that exist only with a
// desktop compositor (and that Wine lacks): a composition swap chain whose two
// buffers are real Direct3D 11 textures, so that Direct2D and DirectWrite draw
// real pixels into buffer 0, and a DirectComposition device whose target and
// visual take the band's calls and hold what they are given.
//
// For the tests, the preview tool and development stand-ins; never linked
// into Nimbrel.exe.
//
//   CCompositionRenderer renderer;
//   renderer.UsePlatform(&OffscreenRendererPlatform());
//   CHostWindow window(95, 38);
//   renderer.Initialize(window.Handle());
//   ... draw a frame ...
//   PixelImage image;
//   ReadBackPixels(renderer, image);

#include <windows.h>

#include <d3d11.h>
#include <dcomp.h>
#include <dxgi1_2.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "common/UniqueHandle.h"
#include "render/CompositionRenderer.h"
#include "render/RendererPlatform.h"

enum class OffscreenObject { SwapChain, CompositionDevice, Target, Visual };

// Hears every call the off-screen objects take, before they act on it, and
// may make it fail: a negative result is returned to the caller instead. The
// objects hold their observer, so it lives as long as the last of them. Each
// call names the object it is made on, as the IUnknown pointer that the
// object's own interface starts with.
class COffscreenObserver {
 public:
  virtual ~COffscreenObserver() = default;

  virtual void ObjectCreated(OffscreenObject, IUnknown*) noexcept {}
  virtual void ObjectDestroyed(OffscreenObject, IUnknown*) noexcept {}
  // The window a new target shows on; right after the target's ObjectCreated.
  virtual void TargetBound(IUnknown*, HWND) noexcept {}

  virtual HRESULT GetBuffer(IUnknown*, UINT) noexcept { return S_OK; }
  virtual HRESULT ResizeBuffers(IUnknown*, UINT, UINT, UINT, DXGI_FORMAT, UINT) noexcept {
    return S_OK;
  }
  virtual HRESULT Present1(IUnknown*, UINT, UINT, const DXGI_PRESENT_PARAMETERS*) noexcept {
    return S_OK;
  }
  virtual HRESULT Commit(IUnknown*) noexcept { return S_OK; }
  virtual HRESULT CreateTargetForHwnd(IUnknown*, HWND, BOOL) noexcept { return S_OK; }
  virtual HRESULT CreateVisual(IUnknown*) noexcept { return S_OK; }
  virtual HRESULT SetContent(IUnknown*, IUnknown*) noexcept { return S_OK; }
  virtual HRESULT SetRoot(IUnknown*, IDCompositionVisual*) noexcept { return S_OK; }
};

using OffscreenObserverPtr = std::shared_ptr<COffscreenObserver>;

// A swap chain for pDevice (an ID3D11Device or anything that answers for one)
// as IDXGIFactory2::CreateSwapChainForComposition would make it.
[[nodiscard]] HRESULT CreateOffscreenSwapChain(IUnknown* pDevice,
                                               const DXGI_SWAP_CHAIN_DESC1* pDesc,
                                               const OffscreenObserverPtr& pObserver,
                                               IDXGISwapChain1** ppSwapChain) noexcept;

// A composition device as DCompositionCreateDevice would make it.
[[nodiscard]] HRESULT CreateOffscreenCompositionDevice(IDXGIDevice* pDxgiDevice, REFIID riid,
                                                       const OffscreenObserverPtr& pObserver,
                                                       void** ppDevice) noexcept;

// The real Direct3D device with the two stand-ins above, unobserved.
[[nodiscard]] const RendererPlatform& OffscreenRendererPlatform() noexcept;

// Buffer 0 of a swap chain, copied out. Premultiplied BGRA, one 32-bit value
// per pixel (blue in the low byte), row after row.
struct PixelImage {
  UINT m_nWidth = 0;
  UINT m_nHeight = 0;
  std::vector<std::uint32_t> m_pixels;

  [[nodiscard]] std::uint32_t At(UINT x, UINT y) const noexcept {
    return m_pixels[static_cast<std::size_t>(y) * m_nWidth + x];
  }
};

// With ppStaging, the texture the pixels are copied through is kept there
// (one reference, the caller's to release) and used again while it fits,
// for a caller that reads every frame.
[[nodiscard]] BOOL ReadBackPixels(IDXGISwapChain1* pSwapChain, PixelImage& image,
                                  ID3D11Texture2D** ppStaging = nullptr) noexcept;
[[nodiscard]] inline BOOL ReadBackPixels(const CCompositionRenderer& renderer,
                                         PixelImage& image) noexcept {
  return ReadBackPixels(renderer.CurrentSlots().m_pSwapChain, image);
}

// A hidden popup window whose client area is exactly cx by cy: a host for a
// surface that is never shown.
class CHostWindow {
 public:
  CHostWindow(int cx, int cy) noexcept;

  [[nodiscard]] HWND Handle() const noexcept { return m_window.Get(); }
  void SetClientSize(int cx, int cy) noexcept;

 private:
  CUniqueWindow m_window;
};
