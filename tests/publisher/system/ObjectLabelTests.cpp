#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "publisher/system/ObjectLabel.h"

namespace {

TEST(ObjectLabel, IsMediumForEveryTokenFromMediumUpAndTheTokensOwnBelow) {
  static constexpr std::pair<std::uint32_t, std::uint32_t> kCases[] = {
      {0x0000, 0x0000},                         // untrusted
      {0x1000, 0x1000},                         // low
      {0x1FFF, 0x1FFF},      {0x2000, 0x2000},  // medium
      {0x2001, 0x2000},      {0x2100, 0x2000},  // medium plus
      {0x3000, 0x2000},                         // high (elevated)
      {0x4000, 0x2000},                         // system
      {0xFFFF'FFFF, 0x2000},
  };
  for (const auto& [nToken, nLabel] : kCases) {
    EXPECT_EQ(ObjectLabelRid(nToken), nLabel) << std::hex << nToken;
  }
}

}  // namespace
