#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "support/TestRecords.h"
#include "support/TestSupport.h"
#include "band/TrafficSection.h"
#include "feed/TrafficDecode.h"

namespace {

constexpr SharedTrafficRecord kRecord = MakeTrafficRecord(11);

std::wstring PrivateSectionName() {
  static int s_nCount = 0;
  return L"Nimbrel-Test-Traffic-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(++s_nCount);
}

// A section backed by a file of the given size: its size is exactly that, on
// Windows and on Wine alike.
class CFileSection {
 public:
  CFileSection(const std::wstring& name, const void* pBytes, DWORD cb) {
    wchar_t szDir[MAX_PATH];
    if (GetTempPathW(MAX_PATH, szDir) == 0) {
      return;
    }
    m_path = std::wstring(szDir) + name + L".bin";
    const HANDLE hFile = CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    m_hFile.Reset(hFile == INVALID_HANDLE_VALUE ? nullptr : hFile);
    if (!m_hFile) {
      return;
    }
    DWORD cbWritten = 0;
    if (!WriteFile(m_hFile.Get(), pBytes, cb, &cbWritten, nullptr) || cbWritten != cb) {
      return;
    }
    m_hMapping.Reset(CreateFileMappingW(m_hFile.Get(), nullptr, PAGE_READONLY, 0, 0, name.c_str()));
  }
  ~CFileSection() {
    m_hMapping.Reset();
    if (m_hFile) {
      m_hFile.Reset();
      DeleteFileW(m_path.c_str());
    }
  }
  CFileSection(const CFileSection&) = delete;
  CFileSection& operator=(const CFileSection&) = delete;

  [[nodiscard]] bool IsOpen() const { return static_cast<bool>(m_hMapping); }

 private:
  std::wstring m_path;
  CUniqueHandle m_hFile;
  CUniqueHandle m_hMapping;
};

// The band's poll members.
struct PollMembers {
  CUniqueHandle m_hMapping;
  CTrafficView m_pView;
  TrafficState m_state;
};

class TrafficSectionTest : public ::testing::Test {
 protected:
  [[nodiscard]] bool Poll() {
    const bool bRepaint = PollTrafficSection(m_members.m_hMapping, m_members.m_pView,
                                             m_members.m_state, m_name.c_str());
    EXPECT_FALSE(m_members.m_hMapping);
    EXPECT_FALSE(m_members.m_pView);
    return bRepaint;
  }

  const TrafficState& State() const { return m_members.m_state; }

  std::wstring m_name = PrivateSectionName();
  PollMembers m_members;
};

TEST_F(TrafficSectionTest, AbsentSectionNeverRepaintsAndLeavesTheStartState) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(Poll());
  }
  EXPECT_EQ(State().m_bHasData, 0);
  EXPECT_EQ(State().m_nRateLower, -1);
  EXPECT_EQ(State().m_nRateUpper, -1);
}

TEST_F(TrafficSectionTest, PublishedRecordIsTakenOnceAndThenOnEveryNewSequence) {
  CTestPublisher publisher(m_name.c_str());
  ASSERT_TRUE(publisher.IsOpen());
  publisher.Publish(kRecord);

  EXPECT_TRUE(Poll());
  EXPECT_EQ(State().m_bHasData, 1);
  EXPECT_EQ(State().m_nLastSequence, 11u);
  EXPECT_EQ(State().m_nRateLower, kRecord.RateDown);
  EXPECT_EQ(State().m_nRateUpper, kRecord.RateUp);
  EXPECT_EQ(State().m_crLower, 0xE69A4Eu);

  EXPECT_FALSE(Poll());
  EXPECT_FALSE(Poll());

  SharedTrafficRecord next = kRecord;
  next.Sequence = 3;
  next.RateDown = 42;
  next.DownOnLower = 0;
  publisher.Publish(next);
  EXPECT_TRUE(Poll());
  EXPECT_EQ(State().m_nRateUpper, 42);
  EXPECT_EQ(State().m_bArrowsFlipped, 1);
}

TEST_F(TrafficSectionTest, SequenceZeroInTheSectionIsNotTaken) {
  CTestPublisher publisher(m_name.c_str());
  ASSERT_TRUE(publisher.IsOpen());
  SharedTrafficRecord record = kRecord;
  record.Sequence = 0;
  publisher.Publish(record);
  EXPECT_FALSE(Poll());
  EXPECT_EQ(State().m_bHasData, 0);
}

TEST_F(TrafficSectionTest, RemovedSectionResetsAndRepaintsOnceThenStaysQuiet) {
  {
    CTestPublisher publisher(m_name.c_str());
    ASSERT_TRUE(publisher.IsOpen());
    publisher.Publish(kRecord);
    ASSERT_TRUE(Poll());
  }
  // The section is gone only if the poll kept no handle to it.
  EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, m_name.c_str()), nullptr);

  EXPECT_TRUE(Poll());
  EXPECT_EQ(State().m_bHasData, 0);
  EXPECT_EQ(State().m_nRateLower, -1);
  EXPECT_EQ(State().m_nLastSequence, 11u);
  EXPECT_FALSE(Poll());
  EXPECT_FALSE(Poll());
}

TEST_F(TrafficSectionTest, SectionTooSmallForTheRecordGivesNoData) {
  CTestPublisher publisher(m_name.c_str());
  ASSERT_TRUE(publisher.IsOpen());
  publisher.Publish(kRecord);
  ASSERT_TRUE(Poll());
  publisher.Close();

  // A new record cut to 64 bytes: DownOnLower falls outside the section.
  SharedTrafficRecord cut = kRecord;
  cut.Sequence = 12;
  CFileSection small(m_name, &cut, 64);
  ASSERT_TRUE(small.IsOpen());
  EXPECT_TRUE(Poll());
  EXPECT_EQ(State().m_bHasData, 0);
  EXPECT_FALSE(Poll());
}

TEST_F(TrafficSectionTest, SmallPagefileSectionIsReadOnlyAsFarAsThePlatformMapsIt) {
  CTestPublisher publisher(m_name.c_str(), 64);
  ASSERT_TRUE(publisher.IsOpen());
  SharedTrafficRecord record = kRecord;
  record.DownOnLower = 1;
  publisher.Publish(record);  // the first 64 bytes; DownOnLower does not fit

  // Windows refuses a view beyond the section's size; Wine rounds the section
  // up to a whole zeroed page and grants it.
  bool bPlatformMaps72 = false;
  {
    const CUniqueHandle hProbe(OpenFileMappingW(FILE_MAP_READ, FALSE, m_name.c_str()));
    ASSERT_TRUE(hProbe);
    const TUniqueView<void> probe(
        MapViewOfFile(hProbe.Get(), FILE_MAP_READ, 0, 0, sizeof(SharedTrafficRecord)));
    bPlatformMaps72 = static_cast<bool>(probe);
  }

  const bool bRepaint = Poll();
  if (!bPlatformMaps72) {
    EXPECT_FALSE(bRepaint);
    EXPECT_EQ(State().m_bHasData, 0);
    return;
  }
  EXPECT_TRUE(bRepaint);
  EXPECT_EQ(State().m_nRateLower, kRecord.RateUp);  // DownOnLower read as the page's zero
  EXPECT_EQ(State().m_bArrowsFlipped, 1);
}

// Another process of the same user can take the name with pages it reserved
// but never committed: mapping succeeds and the first read would fault.
TEST_F(TrafficSectionTest, ASectionWithoutCommittedPagesCountsAsNoSection) {
  {
    CTestPublisher publisher(m_name.c_str());
    publisher.Publish(kRecord);
    ASSERT_TRUE(Poll());
  }
  const CUniqueHandle reserved(CreateFileMappingW(
      INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_RESERVE, 0, 65536, m_name.c_str()));
  ASSERT_TRUE(reserved);
  EXPECT_TRUE(Poll()) << "back to no data, once";
  EXPECT_EQ(State().m_bHasData, 0);
  EXPECT_FALSE(Poll());
}

struct TornContext {
  CTestPublisher* pPublisher;
  PollMembers* pMembers;
  int nRewrites;  // rewrite the record during this many copies
  int nCalls = 0;
  bool bHeldDuringCopy = false;
};

// Each rewrite a new record, from Sequence 101 on, as our publisher writes it.
void RewriteWhileCopied(void* pContext) noexcept {
  auto* pTorn = static_cast<TornContext*>(pContext);
  ++pTorn->nCalls;
  pTorn->bHeldDuringCopy = pTorn->pMembers->m_hMapping && pTorn->pMembers->m_pView;
  if (pTorn->nCalls <= pTorn->nRewrites) {
    pTorn->pPublisher->PublishGuarded(MakeNumberedTrafficRecord(100 + pTorn->nCalls));
  }
}

// What the band shows for a record taken whole.
TrafficState StateFor(const SharedTrafficRecord& record) {
  TrafficState state;
  EXPECT_TRUE(DecodeTrafficRecord(&record, state));
  return state;
}

TEST_F(TrafficSectionTest, RecordRewrittenWhileCopiedIsCopiedAgainAndTakenWhole) {
  CTestPublisher publisher(m_name.c_str());
  ASSERT_TRUE(publisher.IsOpen());
  publisher.PublishGuarded(kRecord);

  TornContext torn = {&publisher, &m_members, 1};
  const bool bRepaint =
      PollTrafficSection(m_members.m_hMapping, m_members.m_pView, m_members.m_state, m_name.c_str(),
                         RewriteWhileCopied, &torn);
  EXPECT_TRUE(bRepaint);
  EXPECT_EQ(torn.nCalls, 2);
  EXPECT_TRUE(torn.bHeldDuringCopy);
  EXPECT_FALSE(m_members.m_hMapping);
  EXPECT_FALSE(m_members.m_pView);
  EXPECT_TRUE(SameTrafficState(State(), StateFor(MakeNumberedTrafficRecord(101))));
  EXPECT_FALSE(Poll());
}

TEST_F(TrafficSectionTest, RecordRewrittenDuringEveryCopyIsLeftForALaterTick) {
  CTestPublisher publisher(m_name.c_str());
  ASSERT_TRUE(publisher.IsOpen());
  publisher.PublishGuarded(kRecord);

  TornContext torn = {&publisher, &m_members, kRecordReadTries};
  const bool bRepaint =
      PollTrafficSection(m_members.m_hMapping, m_members.m_pView, m_members.m_state, m_name.c_str(),
                         RewriteWhileCopied, &torn);
  EXPECT_FALSE(bRepaint);
  EXPECT_EQ(torn.nCalls, kRecordReadTries);
  EXPECT_FALSE(m_members.m_hMapping);
  EXPECT_FALSE(m_members.m_pView);
  EXPECT_EQ(State().m_bHasData, 0);
  EXPECT_EQ(State().m_nLastSequence, 0u);
  EXPECT_EQ(State().m_nRateLower, -1);

  EXPECT_TRUE(Poll());
  EXPECT_TRUE(
      SameTrafficState(State(), StateFor(MakeNumberedTrafficRecord(100 + kRecordReadTries))));
}

TEST_F(TrafficSectionTest, PollsAgainstAWriterRewritingAsFastAsItCanTakeOnlyWholeRecords) {
  // Every poll opens, maps, copies, unmaps and closes the real section, as
  // the band's tick does.
  constexpr int kPolls = 20'000;
  CTestPublisher publisher(m_name.c_str());
  ASSERT_TRUE(publisher.IsOpen());
  publisher.PublishGuarded(MakeNumberedTrafficRecord(1));
  std::atomic<bool> bStop{false};
  std::thread writer([&] {
    for (std::uint64_t n = 2; !bStop.load(std::memory_order_relaxed); ++n) {
      publisher.PublishGuarded(MakeNumberedTrafficRecord(n));
      std::this_thread::yield();
    }
  });
  int nTaken = 0;
  int nTorn = 0;
  for (int i = 0; i < kPolls; ++i) {
    if (!Poll()) {
      continue;
    }
    ++nTaken;
    nTorn += SameTrafficState(State(), StateFor(MakeNumberedTrafficRecord(State().m_nLastSequence)))
                 ? 0
                 : 1;
  }
  bStop = true;
  writer.join();
  EXPECT_EQ(nTorn, 0) << "of " << nTaken << " records taken";
  EXPECT_GT(nTaken, 0);
  std::printf("%d of %d polls took a record\n", nTaken, kPolls);
}

TEST_F(TrafficSectionTest, RecordLeftAloneDuringTheCopyIsTaken) {
  CTestPublisher publisher(m_name.c_str());
  ASSERT_TRUE(publisher.IsOpen());
  publisher.Publish(kRecord);
  int nCalls = 0;
  const bool bRepaint = PollTrafficSection(
      m_members.m_hMapping, m_members.m_pView, m_members.m_state, m_name.c_str(),
      [](void* pContext) noexcept { ++*static_cast<int*>(pContext); }, &nCalls);
  EXPECT_TRUE(bRepaint);
  EXPECT_EQ(nCalls, 1);
  EXPECT_EQ(State().m_nLastSequence, 11u);
}

}  // namespace
