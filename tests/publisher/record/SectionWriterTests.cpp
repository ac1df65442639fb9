#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <set>
#include <thread>

#include "support/TestRecords.h"
#include "publisher/record/TrafficSectionWriter.h"
#include "feed/TrafficDecode.h"
#include "common/UniqueHandle.h"
#include "support/SectionReader.h"

namespace {

SharedTrafficRecord Record(std::uint64_t nSequence) {
  SharedTrafficRecord record{};
  record.Sequence = nSequence;
  record.RateDown = 1'250'000;
  record.RateUp = 250'000;
  record.MaxDown = 12'500'000;
  record.MaxUp = 5'000'000;
  record.ColorDown = 0x4E9AE6;
  record.ColorUp = 0x7EE444;
  record.ByteUnits = 1;
  record.DownOnLower = 1;
  return record;
}

TEST(TrafficSectionWriter, CreatesASectionTheBandCanOpenThatHoldsNothingYet) {
  const std::wstring strName = UniqueSectionName(L"Create");
  CTrafficSectionWriter writer;
  ASSERT_EQ(writer.Open(strName), SectionOpenResult::Opened);
  const auto record = ReadSection(strName);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->Sequence, 0u);

  TrafficState state;
  EXPECT_FALSE(PollLikeTheBand(strName, state));
  EXPECT_FALSE(state.m_bHasData);
}

TEST(TrafficSectionWriter, PublishedFieldsReachTheBandInTheirPlaces) {
  const std::wstring strName = UniqueSectionName(L"Fields");
  CTrafficSectionWriter writer;
  ASSERT_EQ(writer.Open(strName), SectionOpenResult::Opened);

  SharedTrafficRecord record = Record(1001);
  record.ByteUnits = 0;
  writer.Publish(record);
  TrafficState state;
  EXPECT_TRUE(PollLikeTheBand(strName, state));
  EXPECT_TRUE(state.m_bHasData);
  EXPECT_EQ(state.m_nLastSequence, 1001u);
  EXPECT_EQ(state.m_nRateLower, 1'250'000);
  EXPECT_EQ(state.m_nRateUpper, 250'000);
  EXPECT_EQ(state.m_nMaxLower, 12'500'000);
  EXPECT_EQ(state.m_nMaxUpper, 5'000'000);
  EXPECT_EQ(state.m_crLower, RGB(0x4E, 0x9A, 0xE6));
  EXPECT_EQ(state.m_crUpper, RGB(0x7E, 0xE4, 0x44));
  EXPECT_TRUE(state.m_bBitsMode);
  EXPECT_FALSE(state.m_bArrowsFlipped);

  record = Record(1002);
  record.DownOnLower = 0;
  record.RateUp = -1;
  writer.Publish(record);
  EXPECT_TRUE(PollLikeTheBand(strName, state));
  EXPECT_EQ(state.m_nRateUpper, 1'250'000);
  EXPECT_EQ(state.m_nRateLower, -1);
  EXPECT_TRUE(state.m_bArrowsFlipped);
  EXPECT_FALSE(state.m_bBitsMode);

  // Nothing new: the band does not repaint.
  EXPECT_FALSE(PollLikeTheBand(strName, state));
}

TEST(TrafficSectionWriter, ClosingRemovesTheSectionSoTheBandShowsNoData) {
  const std::wstring strName = UniqueSectionName(L"Close");
  CTrafficSectionWriter writer;
  ASSERT_EQ(writer.Open(strName), SectionOpenResult::Opened);
  writer.Publish(Record(7));
  TrafficState state;
  ASSERT_TRUE(PollLikeTheBand(strName, state));

  writer.Close();
  EXPECT_FALSE(ReadSection(strName));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(PollLikeTheBand(strName, state));
  EXPECT_FALSE(state.m_bHasData);
  EXPECT_EQ(state.m_nRateLower, -1);
}

TEST(TrafficSectionWriter, SecondWriterOfTheSameSectionIsRefused) {
  const std::wstring strName = UniqueSectionName(L"Second");
  CTrafficSectionWriter first;
  ASSERT_EQ(first.Open(strName), SectionOpenResult::Opened);
  CTrafficSectionWriter second;
  EXPECT_EQ(second.Open(strName), SectionOpenResult::AlreadyPublished);
  EXPECT_FALSE(second.IsOpen());
  // The refusal left the first one's section alone.
  first.Publish(Record(5));
  EXPECT_EQ(ReadSection(strName)->Sequence, 5u);

  first.Close();
  EXPECT_EQ(second.Open(strName), SectionOpenResult::Opened);
}

TEST(TrafficSectionWriter, SectionHeldByAnotherProgramIsRefused) {
  const std::wstring strName = UniqueSectionName(L"Foreign");
  CUniqueHandle hForeign(
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 72, strName.c_str()));
  ASSERT_TRUE(hForeign);
  CTrafficSectionWriter writer;
  EXPECT_EQ(writer.Open(strName), SectionOpenResult::AlreadyPublished);
  hForeign.Reset();
  EXPECT_EQ(writer.Open(strName), SectionOpenResult::Opened);
}

TEST(TrafficSectionWriter, TheBandTakesOnlyWholeRecordsWhileTheWriterRewritesAsFastAsItCan) {
  const std::wstring strName = UniqueSectionName(L"Rewrites");
  CTrafficSectionWriter writer;
  ASSERT_EQ(writer.Open(strName), SectionOpenResult::Opened);
  writer.Publish(MakeNumberedTrafficRecord(1));
  std::atomic<bool> bStop{false};
  std::thread rewriter([&] {
    for (std::uint64_t n = 2; !bStop.load(std::memory_order_relaxed); ++n) {
      writer.Publish(MakeNumberedTrafficRecord(n));
      std::this_thread::yield();
    }
  });
  int nTaken = 0;
  int nTorn = 0;
  TrafficState state;
  for (int i = 0; i < 5000; ++i) {
    if (!PollLikeTheBand(strName, state)) {
      continue;
    }
    ++nTaken;
    TrafficState whole;
    const SharedTrafficRecord record = MakeNumberedTrafficRecord(state.m_nLastSequence);
    EXPECT_TRUE(DecodeTrafficRecord(&record, whole));
    nTorn += SameTrafficState(state, whole) ? 0 : 1;
  }
  bStop = true;
  rewriter.join();
  EXPECT_GT(nTaken, 0);
  EXPECT_EQ(nTorn, 0) << "of " << nTaken << " records taken";
}

TEST(TrafficSectionWriter, PublishingAfterCloseDoesNothing) {
  const std::wstring strName = UniqueSectionName(L"AfterClose");
  CTrafficSectionWriter writer;
  ASSERT_EQ(writer.Open(strName), SectionOpenResult::Opened);
  writer.Close();
  writer.Publish(Record(3));
  EXPECT_FALSE(ReadSection(strName));
}

}  // namespace
