#pragma once
// The stand-in's compositor: it follows, through the off-screen objects'
// observer, which window shows which swap chain as last committed, and puts
// every frame presented on such a swap chain into that window's frame
// section, where the development taskbar takes it (FrameExchange.h).
//
// On request from outside (StandInControl.h) it also plays a device that was
// removed: the swap chains alive then fail from the next call on.

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "devshell/FrameSection.h"
#include "common/UniqueHandle.h"
#include "offscreen/OffscreenComposition.h"

class CStandInCompositor final : public COffscreenObserver {
 public:
  CStandInCompositor() noexcept;

  void ObjectCreated(OffscreenObject kind, IUnknown* pObject) noexcept override;
  void ObjectDestroyed(OffscreenObject kind, IUnknown* pObject) noexcept override;
  HRESULT ResizeBuffers(IUnknown* pSwapChain, UINT, UINT, UINT, DXGI_FORMAT,
                        UINT) noexcept override;
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
  // Whether the swap chain is on the removed device; a request that came
  // since the last call removes the device of every swap chain alive now.
  // Not asked from inside Show, which holds the lock.
  [[nodiscard]] bool IsOnRemovedDevice(IUnknown* pSwapChain) noexcept;

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
  std::set<IUnknown*> m_swapChains;           // alive
  std::set<IUnknown*> m_removed;              // alive, on the removed device
  CUniqueHandle m_loseDevice;                 // set from outside: remove the device
};
