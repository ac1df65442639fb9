#include "band/PlacementRules.h"

#include <algorithm>
#include <cstdint>

#include "band/PositionRules.h"

namespace {

// Window coordinates are small, but the sums are done wide and narrowed once
// so that absurd inputs cannot overflow.
LONG Narrow(std::int64_t n) noexcept {
  return static_cast<LONG>(std::clamp<std::int64_t>(n, INT32_MIN, INT32_MAX));
}

}  // namespace

RECT ComputeDefaultRect(const RECT& rcTaskbar, LONG nNotifyLeft) noexcept {
  const std::int64_t nNotifyRelative = std::int64_t{nNotifyLeft} - rcTaskbar.left;
  const std::int64_t nTaskbarHeight = std::int64_t{rcTaskbar.bottom} - rcTaskbar.top;
  RECT rc{};
  rc.left = Narrow(nNotifyRelative - kBandOffsetFromNotify);
  rc.top = kBandMargin;
  rc.right = Narrow(nNotifyRelative - kBandMargin);
  rc.bottom = Narrow(nTaskbarHeight - kBandMargin);
  return rc;
}

LONG ComputeDragLeft(LONG nCursorX, LONG nGrabX, LONG nBandLeft, LONG nBandWidth, LONG nTaskbarLeft,
                     LONG nNotifyLeft, BOOL bClamp) noexcept {
  std::int64_t x = std::int64_t{nCursorX} - nGrabX + nBandLeft - nTaskbarLeft;
  if (bClamp) {
    x = std::max<std::int64_t>(x, 0);
    x = std::min<std::int64_t>(x, std::int64_t{nNotifyLeft} - nTaskbarLeft - nBandWidth);
  }
  return Narrow(x);
}

bool IsManualDrop(LONG nNotifyLeft, LONG nBandRight) noexcept {
  return std::int64_t{nNotifyLeft} - nBandRight >= kManualDropGap;
}

bool IsVerticalTaskbar(const RECT& rcTaskbar) noexcept {
  return std::int64_t{rcTaskbar.bottom} - rcTaskbar.top >
         std::int64_t{rcTaskbar.right} - rcTaskbar.left;
}

bool KeepsHandPlacement(LONG nPosX, LONG nBandWidth, LONG nTaskbarWidth,
                        std::optional<LONG> nNotifyRelative) noexcept {
  if (!IsSavedPosXValid(nPosX, nBandWidth, nTaskbarWidth)) {
    return false;
  }
  return !nNotifyRelative || std::int64_t{nPosX} + nBandWidth <= *nNotifyRelative;
}
