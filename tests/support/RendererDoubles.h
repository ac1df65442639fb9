#pragma once
// The renderer's platform table for tests: the off-screen composition pieces
// (tools/offscreen) with every call counted and any step made to fail on
// request. Never linked into the program.
//
// The Direct3D device is real (created through D3D11CreateDevice unless a
// failure is asked for); the swap chain's buffers are real Direct3D 11
// textures, so Direct2D and DirectWrite draw real pixels into buffer 0, which
// ReadBackPixels returns.
//
// Use, with any CCompositionRenderer (also one inside a band window):
//
//   CRendererDoubles doubles;
//   renderer.UsePlatform(&doubles.Platform());  // before Initialize
//   doubles.Fail().m_hrSetRoot = E_FAIL;        // optional: make one step fail
//   renderer.Initialize(hWnd);
//   EXPECT_EQ(doubles.Log().m_nPresents, 1);
//
// EndDraw belongs to the real Direct2D context, which no double stands in for;
// CEndDrawFailure makes it fail for a while (see below).
//
// The doubles outlive nothing they need: each object keeps the shared log
// alive, so a leaked object shows as a nonzero Log().LiveObjects().

#include <windows.h>

#include <d3d11.h>
#include <dcomp.h>
#include <dxgi1_2.h>

#include <memory>
#include <optional>
#include <vector>

#include "render/CompositionRenderer.h"
#include "render/RendererPlatform.h"
#include "offscreen/OffscreenComposition.h"
#include "support/TestSupport.h"

// A negative value makes that call fail with it; everything starts at S_OK.
struct RendererFailures {
  HRESULT m_hrHardwareDevice = S_OK;
  HRESULT m_hrWarpDevice = S_OK;
  // Any of these three puts the real device behind wrappers that can fail.
  HRESULT m_hrQueryDxgiDevice = S_OK;
  HRESULT m_hrGetAdapter = S_OK;
  HRESULT m_hrGetFactory = S_OK;  // the adapter's parent
  HRESULT m_hrCreateSwapChain = S_OK;
  HRESULT m_hrCreateCompositionDevice = S_OK;
  HRESULT m_hrCreateTarget = S_OK;
  HRESULT m_hrCreateVisual = S_OK;
  HRESULT m_hrSetContent = S_OK;
  HRESULT m_hrSetRoot = S_OK;
  HRESULT m_hrCommit = S_OK;
  HRESULT m_hrGetBuffer = S_OK;
  HRESULT m_hrResizeBuffers = S_OK;
  HRESULT m_hrPresent = S_OK;
};

struct RendererCallLog {
  int m_nCalls = 0;  // every call that reached the table or a double

  std::vector<D3D_DRIVER_TYPE> m_driverTypes;  // each device creation, in order
  BOOL m_bDefaultAdapter = FALSE;
  HMODULE m_hSoftware = nullptr;
  UINT m_nDeviceFlags = 0;
  std::vector<D3D_FEATURE_LEVEL> m_featureLevels;
  UINT m_nSdkVersion = 0;
  BOOL m_bFeatureLevelOut = FALSE;
  BOOL m_bContextOut = FALSE;

  int m_nSwapChainCreations = 0;
  DXGI_SWAP_CHAIN_DESC1 m_swapChainDesc{};
  BOOL m_bSwapChainOnDevice = FALSE;  // created for the device the renderer made
  BOOL m_bRestrictedToOutput = FALSE;

  int m_nCompositionDevices = 0;
  BOOL m_bCompositionOnDxgiDevice = FALSE;
  int m_nTargets = 0;
  HWND m_hTargetWnd = nullptr;
  BOOL m_bTopmost = FALSE;
  int m_nVisuals = 0;
  BOOL m_bContentIsSwapChain = FALSE;
  BOOL m_bRootIsVisual = FALSE;
  int m_nCommits = 0;

  int m_nGetBuffers = 0;
  int m_nResizeBuffers = 0;
  UINT m_nResizeCount = 0;
  DXGI_FORMAT m_resizeFormat = DXGI_FORMAT_UNKNOWN;
  UINT m_nResizeFlags = 0;
  int m_nPresents = 0;
  UINT m_nSyncInterval = 0;
  UINT m_nPresentFlags = 0;
  BOOL m_bPresentParametersEmpty = FALSE;

  // Double objects alive now, by kind.
  int m_nLiveSwapChains = 0;
  int m_nLiveCompositionDevices = 0;
  int m_nLiveTargets = 0;
  int m_nLiveVisuals = 0;
  int m_nLiveWrappers = 0;
  [[nodiscard]] int LiveObjects() const noexcept {
    return m_nLiveSwapChains + m_nLiveCompositionDevices + m_nLiveTargets + m_nLiveVisuals +
           m_nLiveWrappers;
  }
};

// Counts and fails the off-screen objects' calls.
struct RendererDoublesState final : COffscreenObserver {
  RendererFailures m_fail;
  RendererCallLog m_log;
  IUnknown* m_pLastDevice = nullptr;  // not owned; only compared

  void ObjectCreated(OffscreenObject kind, IUnknown*) noexcept override { ++LiveCount(kind); }
  void ObjectDestroyed(OffscreenObject kind, IUnknown*) noexcept override { --LiveCount(kind); }
  HRESULT GetBuffer(IUnknown*, UINT) noexcept override;
  HRESULT ResizeBuffers(IUnknown*, UINT nCount, UINT, UINT, DXGI_FORMAT format,
                        UINT nFlags) noexcept override;
  HRESULT Present1(IUnknown*, UINT nSyncInterval, UINT nFlags,
                   const DXGI_PRESENT_PARAMETERS* pParameters) noexcept override;
  HRESULT Commit(IUnknown*) noexcept override;
  HRESULT CreateTargetForHwnd(IUnknown*, HWND hWnd, BOOL bTopmost) noexcept override;
  HRESULT CreateVisual(IUnknown*) noexcept override;
  HRESULT SetContent(IUnknown*, IUnknown* pContent) noexcept override;
  HRESULT SetRoot(IUnknown*, IDCompositionVisual* pVisual) noexcept override;

  [[nodiscard]] int& LiveCount(OffscreenObject kind) noexcept;
  // Counts a call that may fail on request; the failure asked for, or S_OK.
  [[nodiscard]] HRESULT Enter(HRESULT RendererFailures::*phrFail) noexcept;
};

class CRendererDoubles {
 public:
  CRendererDoubles();
  CRendererDoubles(const CRendererDoubles&) = delete;
  CRendererDoubles& operator=(const CRendererDoubles&) = delete;

  [[nodiscard]] const RendererPlatform& Platform() const noexcept { return m_platform; }
  [[nodiscard]] RendererFailures& Fail() noexcept { return m_pState->m_fail; }
  [[nodiscard]] const RendererCallLog& Log() const noexcept { return m_pState->m_log; }

 private:
  std::shared_ptr<RendererDoublesState> m_pState;
  RendererPlatform m_platform{};
};

// A renderer on doubles, for a hidden window of cx by cy; not yet initialized.
struct RendererOnDoubles {
  CHostWindow window;
  CRendererDoubles doubles;
  CCompositionRenderer renderer;

  explicit RendererOnDoubles(int cx = 95, int cy = 38) noexcept : window(cx, cy) {
    renderer.UsePlatform(&doubles.Platform());
  }
  [[nodiscard]] BOOL Initialize() noexcept { return renderer.Initialize(window.Handle()); }
};

// While it lives, EndDraw of every Direct2D device context of the process
// (pContext's class shares one method table) ends the drawing as usual but
// answers hr, as Direct2D does when it finds its device or target lost. One
// at a time.
class CEndDrawFailure {
 public:
  CEndDrawFailure(ID2D1DeviceContext* pContext, HRESULT hr) noexcept;
  CEndDrawFailure(const CEndDrawFailure&) = delete;
  CEndDrawFailure& operator=(const CEndDrawFailure&) = delete;
  ~CEndDrawFailure();

  [[nodiscard]] bool IsActive() const noexcept {
    return m_patch.has_value() && m_patch->IsActive();
  }
  // EndDraws answered with the failure so far.
  [[nodiscard]] int Failed() const noexcept { return m_nFailed; }

 private:
  static HRESULT STDMETHODCALLTYPE FailingEndDraw(ID2D1RenderTarget* pTarget, D2D1_TAG* pTag1,
                                                  D2D1_TAG* pTag2);

  HRESULT m_hr;
  int m_nFailed = 0;
  std::optional<CCallPatch> m_patch;
};

// Takes one of the surface's members away for a call and puts it back, for
// the guards no real path reaches with the rest of the surface complete.
class CRendererTestPeer {
 public:
  static void SwapD2DContext(CCompositionRenderer& r, ID2D1DeviceContext*& pContext) noexcept {
    Swap(r.m_pD2DContext, pContext);
  }
  static void SwapDWriteFactory(CCompositionRenderer& r, IDWriteFactory*& pFactory) noexcept {
    Swap(r.m_pDWriteFactory, pFactory);
  }
  static void FlipInitialized(CCompositionRenderer& r) noexcept {
    r.m_bInitialized = r.m_bInitialized ? FALSE : TRUE;
  }

 private:
  // Neither side's reference is released: it only changes hands.
  template <class T>
  static void Swap(TComPtr<T>& slot, T*& p) noexcept {
    T* pHeld = slot.Detach();
    slot.Attach(p);
    p = pHeld;
  }
};
