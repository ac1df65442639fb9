// The band's frames: drawn through the composition surface only, never
// through the window's own device context.

#include "band/TaskbarWindow.h"
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
