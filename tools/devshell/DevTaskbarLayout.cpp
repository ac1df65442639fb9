#include "DevTaskbarLayout.h"

#include <algorithm>

int DefaultNotifyLeft(int nScreenWidth) noexcept { return nScreenWidth - kDevNotifyDefaultWidth; }

bool IsValidTaskbarHeight(int nHeight) noexcept {
  return nHeight >= kDevTaskbarMinHeight && nHeight <= kDevTaskbarMaxHeight;
}

DevTaskbarLayout LayOutDevTaskbar(int nScreenWidth, int nScreenHeight, int nHeight,
                                  int nNotifyLeft) {
  const int nBarHeight = std::clamp(nHeight, kDevTaskbarMinHeight, kDevTaskbarMaxHeight);
  const int nWidth = std::max(nScreenWidth, kDevNotifyMinWidth);
  DevTaskbarLayout layout{};
  layout.m_rcTaskbar = {0, nScreenHeight - nBarHeight, nWidth, nScreenHeight};
  const int nNotify = std::clamp(nNotifyLeft, 0, nWidth - kDevNotifyMinWidth);
  layout.m_rcNotify = {nNotify, 0, nWidth, nBarHeight};

  // Square buttons as tall as the bar less a margin, centred as a group.
  const int nMargin = std::max(2, nBarHeight / 12);
  const int nSide = nBarHeight - 2 * nMargin;
  const int nGroup = kDevAppButtons * nSide + (kDevAppButtons - 1) * kDevAppButtonGap;
  int nLeft = (nWidth - nGroup) / 2;
  for (int i = 0; i < kDevAppButtons; ++i) {
    layout.m_buttons.push_back({nLeft, nMargin, nLeft + nSide, nMargin + nSide});
    nLeft += nSide + kDevAppButtonGap;
  }
  return layout;
}
