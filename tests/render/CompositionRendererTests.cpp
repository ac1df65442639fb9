#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "support/RendererDoubles.h"
#include "render/ComSlot.h"
#include "render/CompositionRenderer.h"

namespace {

constexpr HRESULT kFailure = E_FAIL;

using Surface = RendererOnDoubles;

ID2D1Image* TargetOf(const CCompositionRenderer& renderer) {
  ID2D1Image* pTarget = nullptr;
  renderer.D2DContext()->GetTarget(&pTarget);
  if (pTarget != nullptr) {
    pTarget->Release();  // only compared, the context keeps it
  }
  return pTarget;
}

std::vector<IUnknown*> Slots(const CCompositionRenderer& r) {
  return {r.CurrentSlots().m_pD3DDevice,
          r.CurrentSlots().m_pD3DContext,
          r.CurrentSlots().m_pDxgiDevice,
          r.CurrentSlots().m_pSwapChain,
          r.D2DFactory(),
          r.CurrentSlots().m_pD2DDevice,
          r.D2DContext(),
          r.CurrentSlots().m_pTargetBitmap,
          r.DWriteFactory(),
          r.CurrentSlots().m_pDCompDevice,
          r.CurrentSlots().m_pDCompTarget,
          r.CurrentSlots().m_pDCompVisual};
}

void ExpectAllSlotsEmpty(const CCompositionRenderer& r) {
  const std::vector<IUnknown*> slots = Slots(r);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    EXPECT_EQ(slots[i], nullptr) << "slot " << i;
  }
}

void ExpectReady(const CCompositionRenderer& r, int nWidth, int nHeight) {
  EXPECT_TRUE(r.IsInitialized());
  const std::vector<IUnknown*> slots = Slots(r);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    EXPECT_NE(slots[i], nullptr) << "slot " << i;
  }
  EXPECT_EQ(r.Width(), nWidth);
  EXPECT_EQ(r.Height(), nHeight);
  if (r.CurrentSlots().m_pSwapChain != nullptr) {
    DXGI_SWAP_CHAIN_DESC1 desc{};
    ASSERT_TRUE(SUCCEEDED(r.CurrentSlots().m_pSwapChain->GetDesc1(&desc)));
    EXPECT_EQ(desc.Width, static_cast<UINT>(nWidth));
    EXPECT_EQ(desc.Height, static_cast<UINT>(nHeight));
  }
  if (r.CurrentSlots().m_pTargetBitmap != nullptr) {
    EXPECT_EQ(TargetOf(r), r.CurrentSlots().m_pTargetBitmap);
    const D2D1_SIZE_U size = r.CurrentSlots().m_pTargetBitmap->GetPixelSize();
    EXPECT_EQ(size.width, static_cast<UINT32>(nWidth));
    EXPECT_EQ(size.height, static_cast<UINT32>(nHeight));
  }
}

// One reference of our own on every object the renderer made or reached, so
// that after the renderer lets go we can see whether anyone else still holds
// one: the last Release of each must be the one that destroys it.
class CHeldReferences {
 public:
  explicit CHeldReferences(const CCompositionRenderer& r) {
    // In dependency order: users before what they use.
    Hold(r.CurrentSlots().m_pTargetBitmap);
    Hold(r.CurrentSlots().m_pDCompTarget);
    Hold(r.CurrentSlots().m_pDCompVisual);
    Hold(r.CurrentSlots().m_pDCompDevice);
    Hold(r.CurrentSlots().m_pSwapChain);
    Hold(r.D2DContext());
    Hold(r.CurrentSlots().m_pD2DDevice);
    Hold(r.D2DFactory());
    Hold(r.CurrentSlots().m_pD3DContext);
    HoldIdentity(r.CurrentSlots().m_pD3DDevice);
    if (r.CurrentSlots().m_pDxgiDevice != nullptr) {
      IDXGIAdapter* pAdapter = nullptr;
      if (SUCCEEDED(r.CurrentSlots().m_pDxgiDevice->GetAdapter(&pAdapter))) {
        m_held.push_back(pAdapter);
        IDXGIFactory2* pFactory = nullptr;
        if (SUCCEEDED(pAdapter->GetParent(IID_PPV_ARGS(&pFactory)))) {
          m_held.push_back(pFactory);
        }
      }
    }
  }
  CHeldReferences(const CHeldReferences&) = delete;
  CHeldReferences& operator=(const CHeldReferences&) = delete;
  ~CHeldReferences() { (void)ReleaseAll(); }

  [[nodiscard]] std::size_t Count() const { return m_held.size(); }

  // For each held object, what our Release left; all zero means nothing else
  // kept a reference.
  [[nodiscard]] std::vector<ULONG> ReleaseAll() {
    std::vector<ULONG> remaining;
    for (std::size_t i = 0; i < m_held.size(); ++i) {
      remaining.push_back(m_held[i]->Release());
    }
    m_held.clear();
    return remaining;
  }

 private:
  // The D3D device and its DXGI side are one object; hold it once.
  void HoldIdentity(IUnknown* p) {
    if (p != nullptr) {
      IUnknown* pIdentity = nullptr;
      if (SUCCEEDED(p->QueryInterface(IID_PPV_ARGS(&pIdentity)))) {
        m_held.push_back(pIdentity);
      }
    }
  }

  void Hold(IUnknown* p) {
    if (p != nullptr) {
      p->AddRef();
      m_held.push_back(p);
    }
  }

  std::vector<IUnknown*> m_held;
};

}  // namespace

// --- Initialize ------------------------------------------------------------

TEST(SurfaceInitialize, BuildsACompleteSurfaceAtTheClientSize) {
  Surface s;
  ASSERT_TRUE(s.Initialize());
  ExpectReady(s.renderer, 95, 38);
  EXPECT_EQ(s.renderer.HostWindow(), s.window.Handle());

  const RendererCallLog& log = s.doubles.Log();
  EXPECT_EQ(log.m_driverTypes, std::vector<D3D_DRIVER_TYPE>{D3D_DRIVER_TYPE_HARDWARE});
  EXPECT_TRUE(log.m_bDefaultAdapter);
  EXPECT_EQ(log.m_hSoftware, nullptr);
  EXPECT_EQ(log.m_nDeviceFlags, 0x20u);
  EXPECT_EQ(log.m_featureLevels,
            (std::vector<D3D_FEATURE_LEVEL>{D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0,
                                            D3D_FEATURE_LEVEL_10_1, D3D_FEATURE_LEVEL_10_0}));
  EXPECT_EQ(log.m_nSdkVersion, 7u);
  EXPECT_TRUE(log.m_bFeatureLevelOut);
  EXPECT_TRUE(log.m_bContextOut);

  EXPECT_EQ(log.m_nSwapChainCreations, 1);
  EXPECT_TRUE(log.m_bSwapChainOnDevice);
  EXPECT_FALSE(log.m_bRestrictedToOutput);
  const DXGI_SWAP_CHAIN_DESC1& desc = log.m_swapChainDesc;
  EXPECT_EQ(desc.Width, 95u);
  EXPECT_EQ(desc.Height, 38u);
  EXPECT_EQ(desc.Format, DXGI_FORMAT_B8G8R8A8_UNORM);
  EXPECT_FALSE(desc.Stereo);
  EXPECT_EQ(desc.SampleDesc.Count, 1u);
  EXPECT_EQ(desc.SampleDesc.Quality, 0u);
  EXPECT_EQ(desc.BufferUsage, static_cast<DXGI_USAGE>(DXGI_USAGE_RENDER_TARGET_OUTPUT));
  EXPECT_EQ(desc.BufferCount, 2u);
  EXPECT_EQ(desc.Scaling, DXGI_SCALING_STRETCH);
  EXPECT_EQ(desc.SwapEffect, DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL);
  EXPECT_EQ(desc.AlphaMode, DXGI_ALPHA_MODE_PREMULTIPLIED);
  EXPECT_EQ(desc.Flags, 0u);

  EXPECT_EQ(log.m_nCompositionDevices, 1);
  EXPECT_TRUE(log.m_bCompositionOnDxgiDevice);
  EXPECT_EQ(log.m_hTargetWnd, s.window.Handle());
  EXPECT_TRUE(log.m_bTopmost);
  EXPECT_EQ(log.m_nVisuals, 1);
  EXPECT_TRUE(log.m_bContentIsSwapChain);
  EXPECT_TRUE(log.m_bRootIsVisual);
  EXPECT_EQ(log.m_nCommits, 1);
  EXPECT_EQ(log.m_nGetBuffers, 1);
  EXPECT_EQ(log.m_nPresents, 0);

  const D2D1_PIXEL_FORMAT format = s.renderer.CurrentSlots().m_pTargetBitmap->GetPixelFormat();
  EXPECT_EQ(format.format, DXGI_FORMAT_B8G8R8A8_UNORM);
  EXPECT_EQ(format.alphaMode, D2D1_ALPHA_MODE_PREMULTIPLIED);
  EXPECT_EQ(s.renderer.CurrentSlots().m_pTargetBitmap->GetOptions(),
            D2D1_BITMAP_OPTIONS_TARGET | D2D1_BITMAP_OPTIONS_CANNOT_DRAW);
  float dpiX = 0;
  float dpiY = 0;
  s.renderer.D2DContext()->GetDpi(&dpiX, &dpiY);
  EXPECT_FLOAT_EQ(dpiX, 96.0f);
  EXPECT_FLOAT_EQ(dpiY, 96.0f);
}

// A size asked for, and the size the surface takes.
struct SizeCase {
  int cx;
  int cy;
  int width;
  int height;
};

TEST(SurfaceInitialize, RaisesAnEmptyClientSizeToOnePixel) {
  static constexpr SizeCase cases[] = {{0, 0, 1, 1}, {0, 30, 1, 30}, {95, 0, 95, 1}};
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cx << " x " << c.cy);
    Surface s(c.cx, c.cy);
    ASSERT_TRUE(s.Initialize());
    ExpectReady(s.renderer, c.width, c.height);
    EXPECT_EQ(s.doubles.Log().m_swapChainDesc.Width, static_cast<UINT>(c.width));
    EXPECT_EQ(s.doubles.Log().m_swapChainDesc.Height, static_cast<UINT>(c.height));
  }
}

TEST(SurfaceInitialize, OnAReadySurfaceMakesNoCallAndKeepsTheFirstWindow) {
  Surface s;
  ASSERT_TRUE(s.Initialize());
  const std::vector<IUnknown*> before = Slots(s.renderer);
  const int nCalls = s.doubles.Log().m_nCalls;

  CHostWindow other(200, 20);
  EXPECT_TRUE(s.renderer.Initialize(other.Handle()));
  EXPECT_EQ(s.doubles.Log().m_nCalls, nCalls);
  EXPECT_EQ(Slots(s.renderer), before);
  EXPECT_EQ(s.renderer.HostWindow(), s.window.Handle());
  ExpectReady(s.renderer, 95, 38);
}

TEST(SurfaceInitialize, FallsBackToWarpWhenTheHardwareDeviceFails) {
  Surface s;
  s.doubles.Fail().m_hrHardwareDevice = DXGI_ERROR_UNSUPPORTED;
  ASSERT_TRUE(s.Initialize());
  EXPECT_EQ(s.doubles.Log().m_driverTypes,
            (std::vector<D3D_DRIVER_TYPE>{D3D_DRIVER_TYPE_HARDWARE, D3D_DRIVER_TYPE_WARP}));
  EXPECT_EQ(s.doubles.Log().m_nDeviceFlags, 0x20u);
  EXPECT_EQ(s.doubles.Log().m_featureLevels.size(), 4u);
  ExpectReady(s.renderer, 95, 38);
}

TEST(SurfaceInitialize, StopsAfterTheDeviceWhenWarpFailsToo) {
  Surface s;
  s.doubles.Fail().m_hrHardwareDevice = DXGI_ERROR_UNSUPPORTED;
  s.doubles.Fail().m_hrWarpDevice = kFailure;
  EXPECT_FALSE(s.Initialize());
  EXPECT_EQ(s.doubles.Log().m_driverTypes.size(), 2u);
  EXPECT_EQ(s.doubles.Log().m_nCalls, 2);
  EXPECT_FALSE(s.renderer.IsInitialized());
  ExpectAllSlotsEmpty(s.renderer);
  EXPECT_EQ(s.renderer.HostWindow(), s.window.Handle());
}

// Each step after the device, made to fail: how many slots, in the order
// Initialize fills them, are left holding their object.
struct StepFailure {
  const char* name;
  HRESULT RendererFailures::*pField;
  std::size_t nFilled;
  int nCommits;
};

std::vector<IUnknown*> SlotsInCreationOrder(const CCompositionRenderer& r) {
  return {r.CurrentSlots().m_pD3DDevice,
          r.CurrentSlots().m_pD3DContext,
          r.CurrentSlots().m_pDxgiDevice,
          r.D2DFactory(),
          r.CurrentSlots().m_pD2DDevice,
          r.D2DContext(),
          r.DWriteFactory(),
          r.CurrentSlots().m_pSwapChain,
          r.CurrentSlots().m_pDCompDevice,
          r.CurrentSlots().m_pDCompTarget,
          r.CurrentSlots().m_pDCompVisual};
}

class SurfaceStepFailure : public testing::TestWithParam<StepFailure> {};

TEST_P(SurfaceStepFailure, ReturnsFalseAndKeepsWhatEarlierStepsMade) {
  const StepFailure& c = GetParam();
  Surface s;
  s.doubles.Fail().*c.pField = kFailure;
  EXPECT_FALSE(s.Initialize());
  const CCompositionRenderer& r = s.renderer;
  EXPECT_FALSE(r.IsInitialized());
  const std::vector<IUnknown*> slots = SlotsInCreationOrder(r);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    EXPECT_EQ(slots[i] != nullptr, i < c.nFilled) << "slot " << i;
  }
  EXPECT_EQ(r.CurrentSlots().m_pTargetBitmap, nullptr);
  if (r.D2DContext() != nullptr) {
    EXPECT_EQ(TargetOf(r), nullptr);
  }
  EXPECT_EQ(s.doubles.Log().m_nCommits, c.nCommits);
  EXPECT_EQ(s.doubles.Log().m_nPresents, 0);
}

TEST_P(SurfaceStepFailure, LeavesNoReferenceBehindOnceReleased) {
  const StepFailure& c = GetParam();
  Surface s;
  s.doubles.Fail().*c.pField = kFailure;
  ASSERT_FALSE(s.Initialize());
  CHeldReferences held(s.renderer);
  ASSERT_GE(held.Count(), 2u);  // at least the device and its context
  s.renderer.ReleaseResources();
  const std::size_t nHeld = held.Count();
  EXPECT_EQ(held.ReleaseAll(), std::vector<ULONG>(nHeld, 0u));
  EXPECT_EQ(s.doubles.Log().LiveObjects(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SurfaceStepFailure,
    testing::Values(StepFailure{"DxgiDevice", &RendererFailures::m_hrQueryDxgiDevice, 2, 0},
                    StepFailure{"Adapter", &RendererFailures::m_hrGetAdapter, 7, 0},
                    StepFailure{"AdapterFactory", &RendererFailures::m_hrGetFactory, 7, 0},
                    StepFailure{"SwapChain", &RendererFailures::m_hrCreateSwapChain, 7, 0},
                    StepFailure{"CompositionDevice", &RendererFailures::m_hrCreateCompositionDevice,
                                8, 0},
                    StepFailure{"Target", &RendererFailures::m_hrCreateTarget, 9, 0},
                    StepFailure{"Visual", &RendererFailures::m_hrCreateVisual, 10, 0},
                    StepFailure{"SetContent", &RendererFailures::m_hrSetContent, 11, 0},
                    StepFailure{"SetRoot", &RendererFailures::m_hrSetRoot, 11, 0},
                    StepFailure{"Commit", &RendererFailures::m_hrCommit, 11, 1},
                    StepFailure{"TargetBuffer", &RendererFailures::m_hrGetBuffer, 11, 1}),
    [](const testing::TestParamInfo<StepFailure>& info) { return std::string(info.param.name); });

TEST(SurfaceInitialize, AfterAFailureBuildsAFreshSurfaceAndLetsTheOldObjectsGo) {
  Surface s;
  s.doubles.Fail().m_hrSetRoot = kFailure;
  ASSERT_FALSE(s.Initialize());
  CHeldReferences oldObjects(s.renderer);
  const std::size_t nHeld = oldObjects.Count();

  s.doubles.Fail().m_hrSetRoot = S_OK;
  ASSERT_TRUE(s.Initialize());
  ExpectReady(s.renderer, 95, 38);
  EXPECT_EQ(s.doubles.Log().m_nSwapChainCreations, 2);
  // Only the new surface's swap chain, device, target and visual are alive.
  CHeldReferences newObjects(s.renderer);
  EXPECT_EQ(oldObjects.ReleaseAll(), std::vector<ULONG>(nHeld, 0u));
  EXPECT_EQ(s.doubles.Log().LiveObjects(), 4);
}

TEST(SurfaceInitialize, OnTheRealPlatformGetsAsFarAsThePlatformAllows) {
  // Wine has no composition swap chain; Windows builds the whole surface.
  CHostWindow window(95, 38);
  CCompositionRenderer renderer;
  const BOOL bReady = renderer.Initialize(window.Handle());
  EXPECT_NE(renderer.CurrentSlots().m_pD3DDevice, nullptr);
  EXPECT_NE(renderer.D2DContext(), nullptr);
  EXPECT_NE(renderer.DWriteFactory(), nullptr);
  if (bReady) {
    ExpectReady(renderer, 95, 38);
  } else {
    // Wine 8: CreateSwapChainForComposition is not implemented.
    EXPECT_FALSE(renderer.IsInitialized());
    EXPECT_EQ(renderer.CurrentSlots().m_pSwapChain, nullptr);
    EXPECT_EQ(renderer.CurrentSlots().m_pDCompDevice, nullptr);
    EXPECT_EQ(renderer.CurrentSlots().m_pTargetBitmap, nullptr);
  }
  renderer.ReleaseResources();
  ExpectAllSlotsEmpty(renderer);
}

// --- Reference counting ----------------------------------------------------

TEST(SurfaceRelease, LeavesNoReferenceToAnythingTheSurfaceMade) {
  Surface s;
  ASSERT_TRUE(s.Initialize());
  s.renderer.D2DContext()->BeginDraw();
  s.renderer.D2DContext()->Clear(D2D1::ColorF(0, 0, 0, 0));
  ASSERT_TRUE(s.renderer.EndFrame());
  s.renderer.Resize(120, 30);

  CHeldReferences held(s.renderer);
  const std::size_t nHeld = held.Count();
  EXPECT_EQ(nHeld, 12u);  // 10 slots (device once, DirectWrite aside), adapter, DXGI factory
  s.renderer.ReleaseResources();
  ExpectAllSlotsEmpty(s.renderer);
  EXPECT_EQ(held.ReleaseAll(), std::vector<ULONG>(nHeld, 0u));
  EXPECT_EQ(s.doubles.Log().LiveObjects(), 0);
}

// The shared DirectWrite factory is left out: Wine's ignores reference counts.
TEST(SurfaceRelease, DestroyingTheRecordReleasesEverything) {
  CRendererDoubles doubles;
  CHostWindow window(95, 38);
  auto* pRenderer = new CCompositionRenderer;
  pRenderer->UsePlatform(&doubles.Platform());
  ASSERT_TRUE(pRenderer->Initialize(window.Handle()));
  CHeldReferences held(*pRenderer);
  const std::size_t nHeld = held.Count();
  EXPECT_EQ(nHeld, 12u);
  delete pRenderer;
  EXPECT_EQ(held.ReleaseAll(), std::vector<ULONG>(nHeld, 0u));
  EXPECT_EQ(doubles.Log().LiveObjects(), 0);
}

TEST(SurfaceRelease, WorksFromEveryStateAndAnyNumberOfTimes) {
  struct Case {
    const char* name;
    void (*arrange)(Surface&);
  };
  static const Case cases[] = {
      {"Empty", [](Surface&) {}},
      {"Partial",
       [](Surface& s) {
         s.doubles.Fail().m_hrCreateVisual = kFailure;
         (void)s.Initialize();
       }},
      {"Ready", [](Surface& s) { (void)s.Initialize(); }},
      {"ReadyWithoutTarget",
       [](Surface& s) {
         (void)s.Initialize();
         s.doubles.Fail().m_hrResizeBuffers = kFailure;
         s.renderer.Resize(60, 20);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Surface s;
    c.arrange(s);
    const HWND hWnd = s.renderer.HostWindow();
    const int nWidth = s.renderer.Width();
    const int nHeight = s.renderer.Height();
    for (int i = 0; i < 3; ++i) {
      s.renderer.ReleaseResources();
      ExpectAllSlotsEmpty(s.renderer);
      EXPECT_FALSE(s.renderer.IsInitialized());
      EXPECT_EQ(s.renderer.HostWindow(), hWnd);
      EXPECT_EQ(s.renderer.Width(), nWidth);
      EXPECT_EQ(s.renderer.Height(), nHeight);
      EXPECT_EQ(s.doubles.Log().LiveObjects(), 0);
    }
  }
}

TEST(SurfaceRelease, OnAnEmptyRecordMakesNoCall) {
  Surface s;
  s.renderer.ReleaseResources();
  EXPECT_EQ(s.doubles.Log().m_nCalls, 0);
  EXPECT_FALSE(s.renderer.IsInitialized());
  EXPECT_EQ(s.renderer.HostWindow(), nullptr);
  EXPECT_EQ(s.renderer.Width(), 0);
}

TEST(SurfaceRelease, ThenInitializeBindsTheNewWindow) {
  Surface s;
  ASSERT_TRUE(s.Initialize());
  s.renderer.ReleaseResources();
  EXPECT_EQ(s.renderer.HostWindow(), s.window.Handle());
  EXPECT_EQ(s.renderer.Width(), 95);

  CHostWindow other(120, 30);
  ASSERT_TRUE(s.renderer.Initialize(other.Handle()));
  EXPECT_EQ(s.renderer.HostWindow(), other.Handle());
  EXPECT_EQ(s.doubles.Log().m_hTargetWnd, other.Handle());
  ExpectReady(s.renderer, 120, 30);
}

// --- Resize ----------------------------------------------------------------

TEST(SurfaceResize, ClampsToOnePixelAndRebuildsTheTarget) {
  static constexpr SizeCase cases[] = {
      {0, 0, 1, 1}, {-5, 30, 1, 30}, {120, -1, 120, 1}, {140, 40, 140, 40}};
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cx << " x " << c.cy);
    Surface s;
    ASSERT_TRUE(s.Initialize());
    s.renderer.Resize(c.cx, c.cy);
    ExpectReady(s.renderer, c.width, c.height);
    EXPECT_EQ(s.doubles.Log().m_nResizeBuffers, 1);
    EXPECT_EQ(s.doubles.Log().m_nResizeCount, 2u);
    EXPECT_EQ(s.doubles.Log().m_resizeFormat, DXGI_FORMAT_B8G8R8A8_UNORM);
    EXPECT_EQ(s.doubles.Log().m_nResizeFlags, 0u);
    EXPECT_EQ(s.doubles.Log().m_nCommits, 1);   // resizing neither commits
    EXPECT_EQ(s.doubles.Log().m_nPresents, 0);  // nor presents
  }
}

TEST(SurfaceResize, ToTheStoredSizeMakesNoCall) {
  Surface s;
  ASSERT_TRUE(s.Initialize());
  ID2D1Bitmap1* pBitmap = s.renderer.CurrentSlots().m_pTargetBitmap;
  const int nCalls = s.doubles.Log().m_nCalls;
  s.renderer.Resize(95, 38);
  EXPECT_EQ(s.doubles.Log().m_nCalls, nCalls);
  EXPECT_EQ(s.renderer.CurrentSlots().m_pTargetBitmap, pBitmap);
  ExpectReady(s.renderer, 95, 38);
}

TEST(SurfaceResize, BeforeInitializeMakesNoCallAndChangesNothing) {
  Surface s;
  s.renderer.Resize(60, 20);
  EXPECT_EQ(s.doubles.Log().m_nCalls, 0);
  EXPECT_EQ(s.renderer.Width(), 0);
  EXPECT_EQ(s.renderer.Height(), 0);

  s.doubles.Fail().m_hrCommit = kFailure;
  ASSERT_FALSE(s.Initialize());
  const int nCalls = s.doubles.Log().m_nCalls;
  s.renderer.Resize(60, 20);
  EXPECT_EQ(s.doubles.Log().m_nCalls, nCalls);
  EXPECT_EQ(s.renderer.Width(), 95);
  EXPECT_EQ(s.renderer.Height(), 38);
}

class SurfaceResizeFailure : public testing::TestWithParam<HRESULT RendererFailures::*> {};

TEST_P(SurfaceResizeFailure, LeavesTheSurfaceReadyWithoutTargetUntilAnotherSize) {
  Surface s;
  ASSERT_TRUE(s.Initialize());
  s.doubles.Fail().*GetParam() = kFailure;
  s.renderer.Resize(60, 20);
  EXPECT_TRUE(s.renderer.IsInitialized());
  EXPECT_EQ(s.renderer.CurrentSlots().m_pTargetBitmap, nullptr);
  EXPECT_EQ(TargetOf(s.renderer), nullptr);
  EXPECT_EQ(s.renderer.Width(), 60);
  EXPECT_EQ(s.renderer.Height(), 20);

  s.doubles.Fail().*GetParam() = S_OK;
  const int nCalls = s.doubles.Log().m_nCalls;
  s.renderer.Resize(60, 20);
  EXPECT_EQ(s.doubles.Log().m_nCalls, nCalls);
  EXPECT_EQ(s.renderer.CurrentSlots().m_pTargetBitmap, nullptr);

  s.renderer.Resize(70, 24);
  ExpectReady(s.renderer, 70, 24);
}

INSTANTIATE_TEST_SUITE_P(Steps, SurfaceResizeFailure,
                         testing::Values(&RendererFailures::m_hrResizeBuffers,
                                         &RendererFailures::m_hrGetBuffer));

// --- EndFrame --------------------------------------------------------------

TEST(SurfaceEndFrame, EndsDrawsPresentsTheWholeSurfaceAndCommits) {
  Surface s;
  ASSERT_TRUE(s.Initialize());
  s.renderer.D2DContext()->BeginDraw();
  EXPECT_TRUE(s.renderer.EndFrame());
  const RendererCallLog& log = s.doubles.Log();
  EXPECT_EQ(log.m_nPresents, 1);
  EXPECT_EQ(log.m_nSyncInterval, 1u);
  EXPECT_EQ(log.m_nPresentFlags, 0u);
  EXPECT_TRUE(log.m_bPresentParametersEmpty);
  EXPECT_EQ(log.m_nCommits, 2);
}

TEST(SurfaceEndFrame, OnASurfaceThatIsNotReadyMakesNoCall) {
  Surface s;
  EXPECT_FALSE(s.renderer.EndFrame());
  s.doubles.Fail().m_hrSetRoot = kFailure;
  ASSERT_FALSE(s.Initialize());
  const int nCalls = s.doubles.Log().m_nCalls;
  s.renderer.D2DContext()->BeginDraw();
  EXPECT_FALSE(s.renderer.EndFrame());
  EXPECT_EQ(s.doubles.Log().m_nCalls, nCalls);
  (void)s.renderer.D2DContext()->EndDraw();
  s.renderer.ReleaseResources();
  EXPECT_FALSE(s.renderer.EndFrame());
  EXPECT_EQ(s.doubles.Log().m_nCalls, nCalls);
}

struct EndFrameFailure {
  const char* name;
  HRESULT RendererFailures::*pField;
  int nPresents;
  int nCommits;
};

class SurfaceEndFrameFailure : public testing::TestWithParam<EndFrameFailure> {};

TEST_P(SurfaceEndFrameFailure, StopsAtTheFirstFailingCall) {
  const EndFrameFailure& c = GetParam();
  Surface s;
  ASSERT_TRUE(s.Initialize());
  s.doubles.Fail().*c.pField = kFailure;
  s.renderer.D2DContext()->BeginDraw();
  EXPECT_FALSE(s.renderer.EndFrame());
  EXPECT_EQ(s.doubles.Log().m_nPresents, c.nPresents);
  EXPECT_EQ(s.doubles.Log().m_nCommits, 1 + c.nCommits);

  // Nothing is rebuilt: the next frame uses the same objects and succeeds.
  s.doubles.Fail().*c.pField = S_OK;
  const std::vector<IUnknown*> before = Slots(s.renderer);
  s.renderer.D2DContext()->BeginDraw();
  EXPECT_TRUE(s.renderer.EndFrame());
  EXPECT_EQ(Slots(s.renderer), before);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SurfaceEndFrameFailure,
    testing::Values(EndFrameFailure{"Present", &RendererFailures::m_hrPresent, 1, 0},
                    EndFrameFailure{"Commit", &RendererFailures::m_hrCommit, 1, 1}),
    [](const testing::TestParamInfo<EndFrameFailure>& info) {
      return std::string(info.param.name);
    });

// A frame whose drawing failed (EndDraw fails; on Windows, for one, a context
// left without a target by a failed resize) is not shown: neither presented
// nor committed. Unless the device was lost, the surface stays as it is.
TEST(SurfaceEndFrame, WhoseDrawingFailedNeitherPresentsNorCommits) {
  Surface s;
  ASSERT_TRUE(s.Initialize());
  const std::vector<IUnknown*> before = Slots(s.renderer);
  {
    const CEndDrawFailure endDraw(s.renderer.D2DContext(), kFailure);
    ASSERT_TRUE(endDraw.IsActive());
    s.renderer.D2DContext()->BeginDraw();
    EXPECT_FALSE(s.renderer.EndFrame());
    EXPECT_EQ(endDraw.Failed(), 1);
  }
  EXPECT_EQ(s.doubles.Log().m_nPresents, 0);
  EXPECT_EQ(s.doubles.Log().m_nCommits, 1);
  EXPECT_TRUE(s.renderer.IsInitialized());
  EXPECT_EQ(Slots(s.renderer), before);

  s.renderer.D2DContext()->BeginDraw();
  EXPECT_TRUE(s.renderer.EndFrame());
  EXPECT_EQ(s.doubles.Log().m_nPresents, 1);
}

// --- A lost device ---------------------------------------------------------

namespace {

enum class LossSeenBy { Present, EndDraw, ResizeBuffers, TargetBuffer };

struct DeviceLossCase {
  const char* name;
  LossSeenBy where;
  HRESULT hr;
};

class SurfaceDeviceLoss : public testing::TestWithParam<DeviceLossCase> {
 protected:
  // The call that meets the lost device: a frame, or a resize to 60 x 20.
  static void MeetTheLoss(Surface& s, const DeviceLossCase& c) {
    switch (c.where) {
      case LossSeenBy::Present:
        s.doubles.Fail().m_hrPresent = c.hr;
        s.renderer.D2DContext()->BeginDraw();
        EXPECT_FALSE(s.renderer.EndFrame());
        break;
      case LossSeenBy::EndDraw: {
        const CEndDrawFailure endDraw(s.renderer.D2DContext(), c.hr);
        ASSERT_TRUE(endDraw.IsActive());
        s.renderer.D2DContext()->BeginDraw();
        EXPECT_FALSE(s.renderer.EndFrame());
        EXPECT_EQ(endDraw.Failed(), 1);
        EXPECT_EQ(s.doubles.Log().m_nPresents, 0) << "nothing presented after a failed EndDraw";
        break;
      }
      case LossSeenBy::ResizeBuffers:
      case LossSeenBy::TargetBuffer:
        (c.where == LossSeenBy::ResizeBuffers ? s.doubles.Fail().m_hrResizeBuffers
                                              : s.doubles.Fail().m_hrGetBuffer) = c.hr;
        s.renderer.Resize(60, 20);
        break;
    }
    s.doubles.Fail() = RendererFailures{};
  }
};

TEST_P(SurfaceDeviceLoss, TheCallThatMeetsItLetsTheWholeSurfaceGo) {
  const DeviceLossCase& c = GetParam();
  Surface s;
  ASSERT_TRUE(s.Initialize());
  ASSERT_EQ(s.renderer.DeviceLoss(), S_OK);
  ASSERT_EQ(s.doubles.Log().LiveObjects(), 4);
  // A reference of ours on the target bitmap would keep the buffers from
  // being resized, so the buffer's own failure is not reached with them held.
  std::optional<CHeldReferences> objects;
  if (c.where != LossSeenBy::TargetBuffer) {
    objects.emplace(s.renderer);
  }

  MeetTheLoss(s, c);
  EXPECT_EQ(s.renderer.DeviceLoss(), c.hr);
  EXPECT_FALSE(s.renderer.IsInitialized());
  ExpectAllSlotsEmpty(s.renderer);
  if (objects) {
    const std::size_t nHeld = objects->Count();
    EXPECT_EQ(objects->ReleaseAll(), std::vector<ULONG>(nHeld, 0u))
        << "nobody else holds any of them";
  }
  EXPECT_EQ(s.doubles.Log().LiveObjects(), 0) << "swap chain, composition device, target, visual";
  EXPECT_EQ(s.renderer.HostWindow(), s.window.Handle()) << "the window is kept for the rebuild";

  // Nothing more is asked of the lost surface, and nothing draws on it.
  const int nCalls = s.doubles.Log().m_nCalls;
  s.renderer.Resize(70, 24);
  EXPECT_FALSE(s.renderer.EndFrame());
  EXPECT_EQ(s.doubles.Log().m_nCalls, nCalls);
}

TEST_P(SurfaceDeviceLoss, IsBuiltAgainWholeForTheSameWindowAndDrawsThere) {
  const DeviceLossCase& c = GetParam();
  Surface s;
  ASSERT_TRUE(s.Initialize());
  MeetTheLoss(s, c);
  ASSERT_EQ(s.renderer.DeviceLoss(), c.hr);

  ASSERT_TRUE(s.Initialize());
  ExpectReady(s.renderer, 95, 38);
  EXPECT_EQ(s.renderer.DeviceLoss(), S_OK);
  EXPECT_EQ(s.doubles.Log().m_nSwapChainCreations, 2);
  EXPECT_EQ(s.doubles.Log().m_hTargetWnd, s.window.Handle());
  EXPECT_EQ(s.doubles.Log().LiveObjects(), 4);

  const int nPresents = s.doubles.Log().m_nPresents;
  s.renderer.D2DContext()->BeginDraw();
  s.renderer.D2DContext()->Clear(D2D1::ColorF(0, 0, 1, 1));
  EXPECT_TRUE(s.renderer.EndFrame());
  EXPECT_EQ(s.doubles.Log().m_nPresents, nPresents + 1);
  PixelImage image;
  ASSERT_TRUE(ReadBackPixels(s.renderer, image));
  EXPECT_EQ(image.At(10, 10), 0xFF0000FFu) << "the new surface is drawn on";
}

INSTANTIATE_TEST_SUITE_P(
    Calls, SurfaceDeviceLoss,
    testing::Values(
        DeviceLossCase{"PresentRemoved", LossSeenBy::Present, DXGI_ERROR_DEVICE_REMOVED},
        DeviceLossCase{"PresentReset", LossSeenBy::Present, DXGI_ERROR_DEVICE_RESET},
        DeviceLossCase{"PresentRecreateTarget", LossSeenBy::Present,
                       static_cast<HRESULT>(D2DERR_RECREATE_TARGET)},
        DeviceLossCase{"EndDrawRemoved", LossSeenBy::EndDraw, DXGI_ERROR_DEVICE_REMOVED},
        DeviceLossCase{"EndDrawReset", LossSeenBy::EndDraw, DXGI_ERROR_DEVICE_RESET},
        DeviceLossCase{"EndDrawRecreateTarget", LossSeenBy::EndDraw,
                       static_cast<HRESULT>(D2DERR_RECREATE_TARGET)},
        DeviceLossCase{"ResizeBuffersRemoved", LossSeenBy::ResizeBuffers,
                       DXGI_ERROR_DEVICE_REMOVED},
        DeviceLossCase{"ResizeBuffersReset", LossSeenBy::ResizeBuffers, DXGI_ERROR_DEVICE_RESET},
        DeviceLossCase{"TargetBufferRemoved", LossSeenBy::TargetBuffer, DXGI_ERROR_DEVICE_REMOVED}),
    [](const testing::TestParamInfo<DeviceLossCase>& info) {
      return std::string(info.param.name);
    });

TEST(SurfaceDeviceLoss, IsStillReportedAfterAReleaseAndAFailedBuildUntilABuildCompletes) {
  Surface s;
  ASSERT_TRUE(s.Initialize());
  s.doubles.Fail().m_hrPresent = DXGI_ERROR_DEVICE_REMOVED;
  s.renderer.D2DContext()->BeginDraw();
  ASSERT_FALSE(s.renderer.EndFrame());
  s.renderer.ReleaseResources();
  EXPECT_EQ(s.renderer.DeviceLoss(), DXGI_ERROR_DEVICE_REMOVED);
  s.doubles.Fail() = RendererFailures{};
  s.doubles.Fail().m_hrCreateCompositionDevice = E_FAIL;
  EXPECT_FALSE(s.Initialize());
  EXPECT_EQ(s.renderer.DeviceLoss(), DXGI_ERROR_DEVICE_REMOVED);
  s.doubles.Fail().m_hrCreateCompositionDevice = S_OK;
  ASSERT_TRUE(s.Initialize());
  EXPECT_EQ(s.renderer.DeviceLoss(), S_OK);
}

// Any other failure is no loss: the surface keeps its objects (see
// SurfaceEndFrameFailure and SurfaceResizeFailure above for what follows).
TEST(SurfaceDeviceLoss, AnyOtherFailureOfAFrameOrResizeKeepsTheSurface) {
  for (const HRESULT hr :
       {E_FAIL, E_OUTOFMEMORY, DXGI_ERROR_INVALID_CALL, DXGI_ERROR_DEVICE_HUNG}) {
    Surface s;
    ASSERT_TRUE(s.Initialize());
    {
      const CEndDrawFailure endDraw(s.renderer.D2DContext(), hr);
      s.renderer.D2DContext()->BeginDraw();
      EXPECT_FALSE(s.renderer.EndFrame());
    }
    s.doubles.Fail().m_hrPresent = hr;
    s.renderer.D2DContext()->BeginDraw();
    EXPECT_FALSE(s.renderer.EndFrame());
    s.doubles.Fail().m_hrResizeBuffers = hr;
    s.renderer.Resize(60, 20);
    EXPECT_EQ(s.renderer.DeviceLoss(), S_OK) << std::hex << hr;
    EXPECT_TRUE(s.renderer.IsInitialized()) << std::hex << hr;
    EXPECT_EQ(s.doubles.Log().LiveObjects(), 4) << std::hex << hr;
  }
}

}  // namespace
