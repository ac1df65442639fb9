#pragma once
// The stand-in's compositor: it follows, through the off-screen objects'
// observer, which window shows which swap chain as last committed, and puts
// every frame presented on such a swap chain into that window's frame
// section, where the development taskbar takes it (FrameExchange.h).

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>

#include "FrameSection.h"
#include "render/offscreen/OffscreenComposition.h"

class CStandInCompositor final : public COffscreenObserver {
 public:
  void ObjectDestroyed(OffscreenObject kind, IUnknown* pObject) noexcept override;
  void TargetBound(IUnknown* pTarget, HWND hWnd) noexcept override;
  HRESULT Present1(IUnknown* pSwapChain, UINT, UINT,
                   const DXGI_PRESENT_PARAMETERS*) noexcept override;
  HRESULT Commit(IUnknown* pDevice) noexcept override;
  HRESULT SetContent(IUnknown* pVisual, IUnknown* pContent) noexcept override;
  HRESULT SetRoot(IUnknown* pTarget, IDCompositionVisual* pVisual) noexcept override;

 private:
  struct Target {
    IUnknown* m_pRoot = nullptr;   // the visual set, shown from the next commit
    IUnknown* m_pShown = nullptr;  // the swap chain shown since the last commit
    std::unique_ptr<CFrameSectionWriter> m_pSection;
  };

  // Hands buffer 0 of the swap chain to every window that shows it.
  void Show(IUnknown* pSwapChain) noexcept;

  // What a swap chain's frames are read back through, kept from frame to
  // frame: the stand-in runs inside the band's process, and a texture made
  // for every frame would weigh on what the band is measured with.
  struct ReadBack {
    ~ReadBack();
    ID3D11Texture2D* m_pStaging = nullptr;
    PixelImage m_image;
  };

  // Objects are only compared, never called through these pointers: the
  // observer hears of each one's end before it goes.
  std::mutex m_lock;
  std::map<IUnknown*, Target> m_targets;
  std::map<IUnknown*, IUnknown*> m_contents;  // visual → content
  std::map<IUnknown*, ReadBack> m_presented;  // swap chains with a frame
};
