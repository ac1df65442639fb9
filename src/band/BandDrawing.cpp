// The band's frames: drawn through the composition surface only, never
// through the window's own device context; and the surface built again when
// its graphics device was lost.

#include "band/TaskbarWindow.h"
#include "feed/StringFormat.h"
#include "render/BandFrame.h"

void CTaskbarWindow::DrawBand() noexcept {
  if (!m_bRendererReady || m_pszUpperText == nullptr || m_pszLowerText == nullptr) {
    return;
  }
  DrawBandFrame(m_renderer, m_hWnd, m_traffic, m_pszUpperText.get(), m_pszLowerText.get());
}

void CTaskbarWindow::OnPaint() noexcept {
  DrawBand();
  ValidateRect(m_hWnd, nullptr);
}

// The frame (or resize) that met the lost device has let the surface go
// already; here it is built again for the same window, as a new taskbar's
// band builds its own. A device that cannot be had yet is tried again later,
// each wait twice the last, so a machine without a working graphics device
// is not kept busy; the band goes on polling meanwhile.
void CTaskbarWindow::RebuildLostSurface() noexcept {
  const HRESULT hrLoss = m_renderer.DeviceLoss();
  if (!m_bRendererReady || SUCCEEDED(hrLoss) || !m_rebuild.IsDueOnTick()) {
    return;
  }
  wchar_t szLine[256];
  if (m_rebuild.Failures() == 0) {
    StringCbPrintfW(szLine, sizeof(szLine), L"Surface: device lost (0x%08X), building it again\n",
                    static_cast<unsigned>(hrLoss));
    OutputDebugStringW(szLine);
  }
  if (m_renderer.Initialize(m_hWnd)) {
    if (m_rebuild.Failures() > 0) {
      StringCbPrintfW(szLine, sizeof(szLine), L"Surface: built again after %d failed tries\n",
                      m_rebuild.Failures());
      OutputDebugStringW(szLine);
    }
    m_rebuild.Reset();
    InvalidateRect(m_hWnd, nullptr, FALSE);
    return;
  }
  // Nothing half-built is held while waiting for the next try.
  m_renderer.ReleaseResources();
  m_rebuild.Failed();
  if (m_rebuild.Failures() == 1) {
    StringCbPrintfW(szLine, sizeof(szLine),
                    L"Surface: cannot be built yet, trying again with waits growing to %d s\n",
                    kMaxRebuildWaitTicks * static_cast<int>(kBandTimerPeriodMs) / 1000);
    OutputDebugStringW(szLine);
  }
}
