#include "devshell/DevTaskbarLayout.h"

#include <algorithm>

int DefaultNotifyLeft(int nScreenWidth) noexcept { return nScreenWidth - kDevNotifyDefaultWidth; }

bool IsValidTaskbarHeight(int nHeight) noexcept {
  return nHeight >= kDevTaskbarMinHeight && nHeight <= kDevTaskbarMaxHeight;
}

DevTaskbarLayout LayOutDevTaskbar(int nScreenWidth, int nScreenHeight, int nHeight, int nNotifyLeft,
                                  int nLeft) {
  const int nBarHeight = std::clamp(nHeight, kDevTaskbarMinHeight, kDevTaskbarMaxHeight);
  const int nScreenRight = std::max(nScreenWidth, kDevNotifyMinWidth);
  const int nBarLeft = std::clamp(nLeft, 0, nScreenRight - kDevNotifyMinWidth);
  const int nWidth = nScreenRight - nBarLeft;
  DevTaskbarLayout layout{};
  layout.m_rcTaskbar = {nBarLeft, nScreenHeight - nBarHeight, nScreenRight, nScreenHeight};
  const int nNotify = std::clamp(nNotifyLeft - nBarLeft, 0, nWidth - kDevNotifyMinWidth);
  layout.m_rcNotify = {nNotify, 0, nWidth, nBarHeight};

  // Square buttons as tall as the bar less a margin, centred as a group.
  const int nMargin = std::max(2, nBarHeight / 12);
  const int nSide = nBarHeight - 2 * nMargin;
  const int nGroup = kDevAppButtons * nSide + (kDevAppButtons - 1) * kDevAppButtonGap;
  int nButtonLeft = (nWidth - nGroup) / 2;
  for (int i = 0; i < kDevAppButtons; ++i) {
    layout.m_buttons.push_back({nButtonLeft, nMargin, nButtonLeft + nSide, nMargin + nSide});
    nButtonLeft += nSide + kDevAppButtonGap;
  }
  return layout;
}
