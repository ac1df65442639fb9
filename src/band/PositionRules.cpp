#include "band/PositionRules.h"

#include <cstdint>

bool IsSavedPosXValid(LONG nPosX, LONG nBandWidth, LONG nTaskbarWidth) noexcept {
  return std::int64_t{kMinVisibleBandWidth} - nBandWidth <= nPosX && nPosX < nTaskbarWidth;
}

LONG ComputeCenteredTop(LONG nTaskbarHeight, LONG nBandHeight) noexcept {
  return static_cast<LONG>((std::int64_t{nTaskbarHeight} - nBandHeight) / 2);
}
