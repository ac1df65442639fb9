#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "support/TestRecords.h"
#include "feed/TrafficDecode.h"

namespace {

constexpr SharedTrafficRecord kRecord = MakeTrafficRecord(5);

SharedTrafficRecord WithSequence(std::uint64_t nSequence) {
  SharedTrafficRecord r = kRecord;
  r.Sequence = nSequence;
  return r;
}

TrafficState Taken(const SharedTrafficRecord& r) {
  TrafficState s;
  EXPECT_TRUE(DecodeTrafficRecord(&r, s));
  return s;
}

void ExpectSameState(const TrafficState& a, const TrafficState& b) {
  EXPECT_EQ(a.m_nLastSequence, b.m_nLastSequence);
  EXPECT_EQ(a.m_bHasData, b.m_bHasData);
  EXPECT_EQ(a.m_nRateLower, b.m_nRateLower);
  EXPECT_EQ(a.m_nRateUpper, b.m_nRateUpper);
  EXPECT_EQ(a.m_nMaxLower, b.m_nMaxLower);
  EXPECT_EQ(a.m_nMaxUpper, b.m_nMaxUpper);
  EXPECT_EQ(a.m_crLower, b.m_crLower);
  EXPECT_EQ(a.m_crUpper, b.m_crUpper);
  EXPECT_EQ(a.m_bBitsMode, b.m_bBitsMode);
  EXPECT_EQ(a.m_bArrowsFlipped, b.m_bArrowsFlipped);
}

}  // namespace

TEST(ColorFromRecord, MovesRedToTheLowByteAndDropsBitsAbove23) {
  constexpr std::pair<std::uint64_t, COLORREF> kCases[] = {
      {0x4E9AE6, 0xE69A4E},   {0x000000, 0x000000},           {0xFFFFFF, 0xFFFFFF},
      {0xFF0000, 0x0000FF},   {0x00FF00, 0x00FF00},           {0x0000FF, 0xFF0000},
      {0xFF4E9AE6, 0xE69A4E}, {0xFFFFFFFFFF4E9AE6, 0xE69A4E}, {0x0100000000000000, 0x000000},
  };
  for (const auto& [nRecord, crExpected] : kCases) {
    EXPECT_EQ(ColorFromRecord(nRecord), crExpected) << std::hex << nRecord;
  }
}

TEST(DecodeTrafficRecord, TakesANewRecordWithDownOnTheLowerLine) {
  TrafficState s;
  EXPECT_TRUE(DecodeTrafficRecord(&kRecord, s));
  EXPECT_EQ(s.m_nLastSequence, 5u);
  EXPECT_EQ(s.m_bHasData, 1);
  EXPECT_EQ(s.m_nRateLower, 123456);
  EXPECT_EQ(s.m_nRateUpper, 7890);
  EXPECT_EQ(s.m_nMaxLower, 1000000);
  EXPECT_EQ(s.m_nMaxUpper, 100000);
  EXPECT_EQ(s.m_crLower, 0xE69A4Eu);
  EXPECT_EQ(s.m_crUpper, 0x44E47Eu);
  EXPECT_EQ(s.m_bBitsMode, 0);
  EXPECT_EQ(s.m_bArrowsFlipped, 0);
}

TEST(DecodeTrafficRecord, DownOnLowerZeroPutsDownOnTheUpperLineAndFlipsArrows) {
  SharedTrafficRecord r = kRecord;
  r.DownOnLower = 0;
  const TrafficState s = Taken(r);
  EXPECT_EQ(s.m_nRateUpper, 123456);
  EXPECT_EQ(s.m_nRateLower, 7890);
  EXPECT_EQ(s.m_nMaxUpper, 1000000);
  EXPECT_EQ(s.m_nMaxLower, 100000);
  EXPECT_EQ(s.m_crUpper, 0xE69A4Eu);
  EXPECT_EQ(s.m_crLower, 0x44E47Eu);
  EXPECT_EQ(s.m_bArrowsFlipped, 1);
}

TEST(DecodeTrafficRecord, FlagFieldsCountAnyNonzeroValue) {
  struct Case {
    std::uint64_t nByteUnits;
    std::uint64_t nDownOnLower;
    BOOL bBitsMode;
    BOOL bArrowsFlipped;
  };
  constexpr Case kCases[] = {
      {0, 0, 1, 1},
      {1, 1, 0, 0},
      {0x8000000000000000, 2, 0, 0},
      {0, 0xFFFFFFFFFFFFFFFF, 1, 0},
      {0x100000000, 0, 0, 1},
  };
  for (const Case& c : kCases) {
    SharedTrafficRecord r = kRecord;
    r.ByteUnits = c.nByteUnits;
    r.DownOnLower = c.nDownOnLower;
    const TrafficState s = Taken(r);
    EXPECT_EQ(s.m_bBitsMode, c.bBitsMode) << c.nByteUnits;
    EXPECT_EQ(s.m_bArrowsFlipped, c.bArrowsFlipped) << c.nDownOnLower;
  }
}

TEST(DecodeTrafficRecord, HighColourBitsDoNotChangeTheColour) {
  SharedTrafficRecord r = kRecord;
  r.ColorDown |= 0xABCDEF0000000000 | 0xFF000000;
  r.ColorUp |= 0x0100000000000000;
  const TrafficState s = Taken(r);
  EXPECT_EQ(s.m_crLower, Taken(kRecord).m_crLower);
  EXPECT_EQ(s.m_crUpper, Taken(kRecord).m_crUpper);
}

TEST(DecodeTrafficRecord, SequenceZeroIsNeverTaken) {
  for (const std::uint64_t nLast : {std::uint64_t{0}, std::uint64_t{5}}) {
    TrafficState s;
    s.m_nLastSequence = nLast;
    const TrafficState before = s;
    const SharedTrafficRecord r = WithSequence(0);
    EXPECT_FALSE(DecodeTrafficRecord(&r, s));
    ExpectSameState(s, before);
  }
}

TEST(DecodeTrafficRecord, SameSequenceIsTakenOnce) {
  TrafficState s = Taken(kRecord);
  const TrafficState before = s;
  SharedTrafficRecord r = kRecord;
  r.RateDown = 77;  // a publisher that forgot to move Sequence
  EXPECT_FALSE(DecodeTrafficRecord(&r, s));
  ExpectSameState(s, before);
}

TEST(DecodeTrafficRecord, AnyOtherSequenceIsTakenHigherOrLower) {
  constexpr std::uint64_t kNext[] = {6, 4, 1, 0xFFFFFFFFFFFFFFFF};
  for (const std::uint64_t nNext : kNext) {
    TrafficState s = Taken(kRecord);
    SharedTrafficRecord r = WithSequence(nNext);
    r.RateDown = 4242;
    EXPECT_TRUE(DecodeTrafficRecord(&r, s)) << nNext;
    EXPECT_EQ(s.m_nLastSequence, nNext);
    EXPECT_EQ(s.m_nRateLower, 4242);
  }
}

TEST(DecodeTrafficRecord, ValuesPassThroughUnchecked) {
  SharedTrafficRecord r = kRecord;
  r.RateDown = -1;
  r.RateUp = 900;
  r.MaxDown = 0;
  r.MaxUp = -5;
  const TrafficState s = Taken(r);
  EXPECT_EQ(s.m_bHasData, 1);
  EXPECT_EQ(s.m_nRateLower, -1);
  EXPECT_EQ(s.m_nRateUpper, 900);  // above its full scale, still as it is
  EXPECT_EQ(s.m_nMaxLower, 0);
  EXPECT_EQ(s.m_nMaxUpper, -5);
}

TEST(DecodeTrafficRecord, MissingSectionAtStartChangesNothingAndDoesNotRepaint) {
  TrafficState s;
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(DecodeTrafficRecord(nullptr, s));
    ExpectSameState(s, TrafficState{});
  }
}

TEST(DecodeTrafficRecord, SectionGoingAwayResetsAndRepaintsOnce) {
  SharedTrafficRecord r = kRecord;
  r.ByteUnits = 0;
  r.DownOnLower = 0;
  TrafficState s = Taken(r);
  EXPECT_TRUE(DecodeTrafficRecord(nullptr, s));
  EXPECT_EQ(s.m_bHasData, 0);
  EXPECT_EQ(s.m_nRateLower, -1);
  EXPECT_EQ(s.m_nRateUpper, -1);
  EXPECT_EQ(s.m_bBitsMode, 0);
  EXPECT_EQ(s.m_bArrowsFlipped, 1);
  EXPECT_EQ(s.m_nLastSequence, 5u);
  EXPECT_FALSE(DecodeTrafficRecord(nullptr, s));
}

TEST(DecodeTrafficRecord, FallsBackWhenEitherSomethingWasShownOrALowerRateIsSet) {
  struct Case {
    BOOL bHasData;
    std::int64_t nRateLower;
    bool bRepaint;
  };
  constexpr Case kCases[] = {
      {FALSE, -1, false}, {TRUE, -1, true}, {FALSE, 0, true}, {FALSE, -2, true}, {TRUE, 12, true},
  };
  for (const Case& c : kCases) {
    TrafficState s;
    s.m_bHasData = c.bHasData;
    s.m_nRateLower = c.nRateLower;
    EXPECT_EQ(DecodeTrafficRecord(nullptr, s), c.bRepaint) << c.bHasData << " " << c.nRateLower;
    EXPECT_EQ(s.m_bHasData, 0);
    EXPECT_EQ(s.m_nRateLower, -1);
  }
}

TEST(DecodeTrafficRecord, PublisherBackWithTheLastSequenceIsNotTakenUntilItChanges) {
  TrafficState s = Taken(kRecord);
  EXPECT_TRUE(DecodeTrafficRecord(nullptr, s));
  EXPECT_FALSE(DecodeTrafficRecord(&kRecord, s));
  EXPECT_EQ(s.m_bHasData, 0);
  const SharedTrafficRecord next = WithSequence(6);
  EXPECT_TRUE(DecodeTrafficRecord(&next, s));
  EXPECT_EQ(s.m_bHasData, 1);
}

TEST(ResetTrafficState, KeepsArrowsAndLastSequenceAndClearsTheRest) {
  SharedTrafficRecord r = kRecord;
  r.ByteUnits = 0;
  r.DownOnLower = 0;
  r.Sequence = 99;
  TrafficState s = Taken(r);
  ResetTrafficState(s);
  TrafficState expected;
  expected.m_nLastSequence = 99;
  expected.m_bArrowsFlipped = TRUE;
  ExpectSameState(s, expected);
}
