#include "standin/StandInCompositor.h"

#include <new>
#include <vector>

#include "devshell/StandInControl.h"
#include "render/ComSlot.h"

CStandInCompositor::ReadBack::~ReadBack() { EmptySlot(m_pStaging); }

CStandInCompositor::CStandInCompositor() noexcept
    : m_loseDevice(CreateEventW(nullptr, FALSE, FALSE,
                                StandInLoseDeviceEventName(GetCurrentProcessId()).c_str())) {}

void CStandInCompositor::ObjectCreated(OffscreenObject kind, IUnknown* pObject) noexcept {
  if (kind == OffscreenObject::SwapChain) {
    std::lock_guard lock(m_lock);
    m_swapChains.insert(pObject);
  }
}

bool CStandInCompositor::IsOnRemovedDevice(IUnknown* pSwapChain) noexcept {
  std::lock_guard lock(m_lock);
  if (m_loseDevice && WaitForSingleObject(m_loseDevice.Get(), 0) == WAIT_OBJECT_0) {
    m_removed.insert(m_swapChains.begin(), m_swapChains.end());
  }
  return m_removed.count(pSwapChain) != 0;
}

HRESULT CStandInCompositor::ResizeBuffers(IUnknown* pSwapChain, UINT, UINT, UINT, DXGI_FORMAT,
                                          UINT) noexcept {
  return IsOnRemovedDevice(pSwapChain) ? DXGI_ERROR_DEVICE_REMOVED : S_OK;
}

void CStandInCompositor::ObjectDestroyed(OffscreenObject kind, IUnknown* pObject) noexcept {
  std::unique_ptr<CFrameSectionWriter> pClosing;
  {
    std::lock_guard lock(m_lock);
    switch (kind) {
      case OffscreenObject::Target:
        if (auto it = m_targets.find(pObject); it != m_targets.end()) {
          pClosing = std::move(it->second.m_pSection);
          m_targets.erase(it);
        }
        break;
      case OffscreenObject::Visual:
        m_contents.erase(pObject);
        for (auto& [pTarget, target] : m_targets) {
          if (target.m_pRoot == pObject) {
            target.m_pRoot = nullptr;
          }
        }
        break;
      case OffscreenObject::SwapChain:
        m_presented.erase(pObject);
        m_swapChains.erase(pObject);
        m_removed.erase(pObject);
        for (auto& [pTarget, target] : m_targets) {
          if (target.m_pShown == pObject) {
            target.m_pShown = nullptr;
          }
        }
        break;
      case OffscreenObject::CompositionDevice:
        break;
    }
  }
  // Closing asks the taskbar to paint the window's place without the frame;
  // done outside the lock.
  pClosing.reset();
}

void CStandInCompositor::TargetBound(IUnknown* pTarget, HWND hWnd) noexcept {
  auto pSection = std::unique_ptr<CFrameSectionWriter>(new (std::nothrow) CFrameSectionWriter);
  if (pSection != nullptr && !pSection->Open(hWnd)) {
    // No section for this window: its frames are not shown.
    pSection.reset();
  }
  std::lock_guard lock(m_lock);
  m_targets[pTarget].m_pSection = std::move(pSection);
}

HRESULT CStandInCompositor::SetContent(IUnknown* pVisual, IUnknown* pContent) noexcept {
  std::lock_guard lock(m_lock);
  m_contents[pVisual] = pContent;
  return S_OK;
}

HRESULT CStandInCompositor::SetRoot(IUnknown* pTarget, IDCompositionVisual* pVisual) noexcept {
  std::lock_guard lock(m_lock);
  m_targets[pTarget].m_pRoot = pVisual;
  return S_OK;
}

HRESULT CStandInCompositor::Commit(IUnknown*) noexcept {
  std::vector<IUnknown*> newlyShown;
  {
    std::lock_guard lock(m_lock);
    for (auto& [pTarget, target] : m_targets) {
      const auto it = m_contents.find(target.m_pRoot);
      IUnknown* pShown = it != m_contents.end() ? it->second : nullptr;
      if (pShown != target.m_pShown && m_presented.find(pShown) != m_presented.end()) {
        newlyShown.push_back(pShown);
      }
      target.m_pShown = pShown;
    }
  }
  for (IUnknown* pSwapChain : newlyShown) {
    Show(pSwapChain);
  }
  return S_OK;
}

HRESULT CStandInCompositor::Present1(IUnknown* pSwapChain, UINT, UINT,
                                     const DXGI_PRESENT_PARAMETERS*) noexcept {
  if (IsOnRemovedDevice(pSwapChain)) {
    return DXGI_ERROR_DEVICE_REMOVED;
  }
  Show(pSwapChain);
  return S_OK;
}

void CStandInCompositor::Show(IUnknown* pSwapChain) noexcept {
  std::lock_guard lock(m_lock);
  // The frame is buffer 0: the off-screen swap chain draws there and never
  // flips. Present1 is heard before the call returns, with the swap chain alive.
  ReadBack& readBack = m_presented[pSwapChain];
  if (!ReadBackPixels(static_cast<IDXGISwapChain1*>(pSwapChain), readBack.m_image,
                      &readBack.m_pStaging)) {
    return;
  }
  const PixelImage& image = readBack.m_image;
  for (auto& [pTarget, target] : m_targets) {
    if (target.m_pShown == pSwapChain && target.m_pSection != nullptr) {
      target.m_pSection->Write(image.m_nWidth, image.m_nHeight, image.m_pixels.data(),
                               image.m_nWidth);
    }
  }
}
