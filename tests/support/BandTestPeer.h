#pragma once
// The tests' one window on the band's private state: the members tests look
// at, under their own names. What a test only reads is const; what it sets
// up (the drag lock, placed by hand, a drag under way, the notification
// area's last left edge) and the surface it hands doubles to can be changed.

#include "band/TaskbarWindow.h"

class CBandTestPeer {
 public:
  explicit CBandTestPeer(CTaskbarWindow& band) noexcept
      : m_hTaskbarWnd(band.m_hTaskbarWnd),
        m_rcTaskbar(band.m_rcTaskbar),
        m_renderer(band.m_renderer),
        m_bRendererReady(band.m_bRendererReady),
        m_nTrayNotifyLeft(band.m_nTrayNotifyLeft),
        m_hMapping(band.m_hMapping),
        m_pView(band.m_pView),
        m_traffic(band.m_traffic),
        m_rcDefault(band.m_rcDefault),
        m_bDragging(band.m_bDragging),
        m_nDragGrabX(band.m_nDragGrabX),
        m_bManuallyPositioned(band.m_bManuallyPositioned),
        m_bLocked(band.m_bLocked),
        m_wndWatch(band.m_wndWatch) {}

  const HWND& m_hTaskbarWnd;
  const RECT& m_rcTaskbar;
  CCompositionRenderer& m_renderer;
  const BOOL& m_bRendererReady;
  int& m_nTrayNotifyLeft;
  const CUniqueHandle& m_hMapping;
  const CTrafficView& m_pView;
  const TrafficState& m_traffic;
  const RECT& m_rcDefault;
  BOOL& m_bDragging;
  const int& m_nDragGrabX;
  BOOL& m_bManuallyPositioned;
  BOOL& m_bLocked;
  const CTaskbarWatch& m_wndWatch;
};
