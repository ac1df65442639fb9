#include <gtest/gtest.h>

#include <cstdint>

#include "publisher/record/TrafficRecord.h"

namespace {

TEST(NextSequence, CountsUpAndSkipsZeroOnWrap) {
  static constexpr std::pair<std::uint64_t, std::uint64_t> kCases[] = {
      {1, 2},
      {41, 42},
      {0xFFFFFFFFull, 0x100000000ull},
      {0xFFFFFFFFFFFFFFFEull, 0xFFFFFFFFFFFFFFFFull},
      {0xFFFFFFFFFFFFFFFFull, 1},
      {0, 1}};
  for (const auto& [nPrev, nNext] : kCases) EXPECT_EQ(NextSequence(nPrev), nNext) << nPrev;
}

TEST(FirstSequence, IsTheClockButNeverZero) {
  EXPECT_EQ(FirstSequence(0), 1u);
  EXPECT_EQ(FirstSequence(133'000'000'000'000'000ull), 133'000'000'000'000'000ull);
}

TEST(BuildTrafficRecord, CopiesTheSampleAndTheOptions) {
  PublisherOptions options;
  options.m_nColorDown = 0x112233;
  options.m_nColorUp = 0x445566;
  const SharedTrafficRecord record = BuildTrafficRecord({1000, 2000, 3000, 4000}, options, 77);
  EXPECT_EQ(record.Sequence, 77u);
  EXPECT_EQ(record.RateDown, 1000);
  EXPECT_EQ(record.RateUp, 2000);
  EXPECT_EQ(record.MaxDown, 3000);
  EXPECT_EQ(record.MaxUp, 4000);
  EXPECT_EQ(record.ColorDown, 0x112233u);
  EXPECT_EQ(record.ColorUp, 0x445566u);
  EXPECT_EQ(record.ByteUnits, 1u);
  EXPECT_EQ(record.DownOnLower, 1u);
}

TEST(BuildTrafficRecord, BitsAndSwappedLinesClearTheirFlags) {
  PublisherOptions options;
  options.m_bByteUnits = false;
  options.m_bDownOnLower = false;
  const SharedTrafficRecord record = BuildTrafficRecord({}, options, 1);
  EXPECT_EQ(record.ByteUnits, 0u);
  EXPECT_EQ(record.DownOnLower, 0u);
}

TEST(BuildTrafficRecord, FullScaleOverridesWinIncludingZero) {
  PublisherOptions options;
  options.m_nMaxDown = 0;
  options.m_nMaxUp = 999;
  const SharedTrafficRecord record = BuildTrafficRecord({1, 2, 3000, 4000}, options, 1);
  EXPECT_EQ(record.MaxDown, 0);
  EXPECT_EQ(record.MaxUp, 999);
}

TEST(BuildTrafficRecord, AFailedSourceGivesMinusOneRates) {
  const SharedTrafficRecord record = BuildTrafficRecord(kNoDataSample, PublisherOptions{}, 5);
  EXPECT_EQ(record.RateDown, -1);
  EXPECT_EQ(record.RateUp, -1);
  const SharedTrafficRecord other = BuildTrafficRecord({-17, -3, 1, 1}, PublisherOptions{}, 5);
  EXPECT_EQ(other.RateDown, -1);
  EXPECT_EQ(other.RateUp, -1);
}

TEST(FormatTrafficRecord, ShowsEveryField) {
  PublisherOptions options;
  options.m_bByteUnits = false;
  const SharedTrafficRecord record =
      BuildTrafficRecord({1250000, -1, 12500000, 5000000}, options, 9);
  EXPECT_EQ(FormatTrafficRecord(record),
            L"seq=9 down=1250000 up=-1 max-down=12500000 max-up=5000000 color-down=4E9AE6 "
            L"color-up=7EE444 "
            L"units=bits down-on=lower");
}

}  // namespace
