#pragma once
// The band's composited surface: a flip-model swap chain shown as the one
// visual of a topmost DirectComposition target on the band window, with a
// Direct2D device context drawing into its buffer 0. 32-bit BGRA with
// premultiplied alpha, so every pixel left at alpha 0 shows the taskbar.
//
// A plain record held by value in the band window; everything runs on the UI
// thread. Each interface member owns one reference (ComSlot.h).
//
// A lost device (SurfaceRecovery.h) is no state the surface can work on: the
// call that sees it lets the whole surface go at once, and DeviceLoss() says
// so until an Initialize completes. Building it again is the owner's to do.

#include <windows.h>

#include <d2d1_1.h>
#include <d3d11.h>
#include <dcomp.h>
#include <dwrite.h>
#include <dxgi1_2.h>

#include "render/ComSlot.h"
#include "render/RendererPlatform.h"

class CCompositionRenderer {
 public:
  CCompositionRenderer() noexcept = default;
  CCompositionRenderer(const CCompositionRenderer&) = delete;
  CCompositionRenderer& operator=(const CCompositionRenderer&) = delete;
  ~CCompositionRenderer();

  // Builds the whole surface for hWnd at its client size; TRUE when complete
  // (or already complete, in which case nothing at all happens).
  [[nodiscard]] BOOL Initialize(HWND hWnd) noexcept;
  // Points the context at a bitmap over the swap chain's buffer 0.
  [[nodiscard]] BOOL CreateTargetBitmap() noexcept;
  // EndDraw, Present1, Commit; stops at the first failure.
  BOOL EndFrame() noexcept;
  // A failed ResizeBuffers or target bitmap leaves the surface without a
  // target until another size; a lost device lets the surface go.
  void Resize(int cx, int cy) noexcept;
  // Any state, any number of times. Keeps the window handle and size, and
  // what DeviceLoss() says.
  void ReleaseResources() noexcept;

  // The code a call failed with when the surface was let go for a lost
  // device; S_OK while it was not (or has been built again since).
  [[nodiscard]] HRESULT DeviceLoss() const noexcept { return m_hrDeviceLoss; }

  // Where the device, the swap chain and the composition device come from;
  // null means the real platform. Takes effect at the next Initialize.
  void UsePlatform(const RendererPlatform* pPlatform) noexcept { m_pPlatform = pPlatform; }

  // What a frame draws with (BandFrame.cpp): the context, the factories it
  // makes text formats and path geometries with, and whether the surface is
  // complete. Borrowed, never released by the caller.
  [[nodiscard]] ID2D1DeviceContext* D2DContext() const noexcept { return m_pD2DContext.Get(); }
  [[nodiscard]] IDWriteFactory* DWriteFactory() const noexcept { return m_pDWriteFactory.Get(); }
  [[nodiscard]] ID2D1Factory1* D2DFactory() const noexcept { return m_pD2DFactory.Get(); }
  [[nodiscard]] BOOL IsInitialized() const noexcept { return m_bInitialized; }
  [[nodiscard]] HWND HostWindow() const noexcept { return m_hWndHost; }
  [[nodiscard]] int Width() const noexcept { return m_nWidth; }
  [[nodiscard]] int Height() const noexcept { return m_nHeight; }

  // Every slot as it is now, in declaration order, for what looks at the
  // surface from outside (reading back its frames, the tests). Borrowed.
  struct Slots {
    ID3D11Device* m_pD3DDevice;
    ID3D11DeviceContext* m_pD3DContext;
    IDXGIDevice* m_pDxgiDevice;
    IDXGISwapChain1* m_pSwapChain;
    ID2D1Factory1* m_pD2DFactory;
    ID2D1Device* m_pD2DDevice;
    ID2D1DeviceContext* m_pD2DContext;
    ID2D1Bitmap1* m_pTargetBitmap;
    IDWriteFactory* m_pDWriteFactory;
    IDCompositionDevice* m_pDCompDevice;
    IDCompositionTarget* m_pDCompTarget;
    IDCompositionVisual* m_pDCompVisual;
  };
  [[nodiscard]] Slots CurrentSlots() const noexcept;

 private:
  [[nodiscard]] const RendererPlatform& Platform() const noexcept;
  [[nodiscard]] HRESULT CreateD3DDevice(D3D_DRIVER_TYPE driverType) noexcept;
  [[nodiscard]] BOOL CreateSwapChain() noexcept;
  [[nodiscard]] BOOL BuildCompositionTree() noexcept;
  [[nodiscard]] HRESULT MakeTargetBitmap() noexcept;
  // hr failed: when it says the device is lost, the whole surface goes.
  void LetGoIfLost(HRESULT hr) noexcept;

  HWND m_hWndHost = nullptr;
  int m_nWidth = 0;
  int m_nHeight = 0;
  TComPtr<ID3D11Device> m_pD3DDevice;
  TComPtr<ID3D11DeviceContext> m_pD3DContext;
  TComPtr<IDXGIDevice> m_pDxgiDevice;
  TComPtr<IDXGISwapChain1> m_pSwapChain;
  TComPtr<ID2D1Factory1> m_pD2DFactory;
  TComPtr<ID2D1Device> m_pD2DDevice;
  TComPtr<ID2D1DeviceContext> m_pD2DContext;
  TComPtr<ID2D1Bitmap1> m_pTargetBitmap;
  TComPtr<IDWriteFactory> m_pDWriteFactory;
  TComPtr<IDCompositionDevice> m_pDCompDevice;
  TComPtr<IDCompositionTarget> m_pDCompTarget;
  TComPtr<IDCompositionVisual> m_pDCompVisual;
  BOOL m_bInitialized = FALSE;

  // The tests' one way to take a slot away for a call and put it back
  // (tests/render/support/RendererDoubles.h).
  friend class CRendererTestPeer;

  const RendererPlatform* m_pPlatform = nullptr;
  HRESULT m_hrDeviceLoss = S_OK;
};
