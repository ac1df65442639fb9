#include <gtest/gtest.h>

#include "feed/TrafficState.h"

TEST(TrafficState, StartsInTheNoDataState) {
  const TrafficState s;
  EXPECT_EQ(s.m_nLastSequence, 0u);
  EXPECT_EQ(s.m_bHasData, 0);
  EXPECT_EQ(s.m_nRateLower, -1);
  EXPECT_EQ(s.m_nRateUpper, -1);
  EXPECT_EQ(s.m_nMaxLower, -1);
  EXPECT_EQ(s.m_nMaxUpper, -1);
  EXPECT_EQ(s.m_crLower, 0xE69A4Eu);
  EXPECT_EQ(s.m_crUpper, 0x44E47Eu);
  EXPECT_EQ(s.m_bBitsMode, 0);
  EXPECT_EQ(s.m_bArrowsFlipped, 0);
}
