#pragma once
// The integrity level the publisher's named objects are labelled with, as
// the last part of a mandatory label SID (S-1-16-RID): medium, so that the
// user's ordinary processes may use them even when the publisher runs
// elevated (high) or as SYSTEM; the publisher's own level when that is
// lower, as nobody may label an object above their own level.

#include <cstdint>

inline constexpr std::uint32_t kMediumIntegrityRid = 0x2000;

[[nodiscard]] constexpr std::uint32_t ObjectLabelRid(std::uint32_t nTokenRid) noexcept {
  return nTokenRid < kMediumIntegrityRid ? nTokenRid : kMediumIntegrityRid;
}
