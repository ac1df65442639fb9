#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <set>
#include <vector>

#include "publisher/main/PublisherLoop.h"
#include "publisher/sources/RetryingStart.h"
#include "feed/TrafficDecode.h"
#include "common/UniqueHandle.h"
#include "support/RecordingSink.h"
#include "support/SectionReader.h"

namespace {

// Hands out prepared readings in order, then repeats the last one.
class CScriptedSource final : public ITrafficSource {
 public:
  explicit CScriptedSource(std::vector<SourceReading> readings) : m_readings(std::move(readings)) {}
  std::wstring Start() override { return {}; }
  SourceReading Read(std::uint64_t) override {
    const SourceReading& reading =
        m_readings[m_nNext < m_readings.size() ? m_nNext : m_readings.size() - 1];
    InterlockedIncrement(&m_nReads);
    ++m_nNext;
    return reading;
  }
  LONG Reads() const { return InterlockedCompareExchange(const_cast<LONG*>(&m_nReads), 0, 0); }

 private:
  std::vector<SourceReading> m_readings;
  std::size_t m_nNext = 0;
  LONG m_nReads = 0;
};

// Starts only at its nth try; then reads like a scripted source.
class CLateSource final : public ITrafficSource {
 public:
  explicit CLateSource(int nFailedStarts) : m_nFailedStarts(nFailedStarts) {}
  std::wstring Start() override {
    ++m_nStarts;
    return m_nStarts <= m_nFailedStarts ? L"no network adapter is up yet" : L"";
  }
  SourceReading Read(std::uint64_t) override {
    return m_nStarts > m_nFailedStarts ? SampleReading({7, 8, 0, 0})
                                       : FailedReading(L"read before a start");
  }
  int m_nStarts = 0;

 private:
  int m_nFailedStarts;
};

SourceReading Skip() { return {}; }

struct LoopRun {
  PublisherOptions options;
  ITrafficSource* pSource;
  CTrafficSectionWriter* pWriter;
  HANDLE hStop;
  CRecordingSink output;
  int nExit = -1;
};

DWORD WINAPI RunLoop(void* pParam) {
  auto* pRun = static_cast<LoopRun*>(pParam);
  pRun->nExit =
      RunPublisherLoop(pRun->options, *pRun->pSource, *pRun->pWriter, pRun->hStop, pRun->output);
  return 0;
}

class PublisherLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    m_strName = UniqueSectionName(L"Loop");
    ASSERT_EQ(m_writer.Open(m_strName), SectionOpenResult::Opened);
    m_hStop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  }
  void TearDown() override { Stop(); }
  void Start(ITrafficSource& source, std::uint32_t nIntervalMs) {
    m_run.options.m_nIntervalMs = nIntervalMs;
    m_run.pSource = &source;
    m_run.pWriter = &m_writer;
    m_run.hStop = m_hStop.Get();
    m_hThread.Reset(CreateThread(nullptr, 0, RunLoop, &m_run, 0, nullptr));
  }
  void Stop() {
    if (!m_hThread) return;
    SetEvent(m_hStop.Get());
    EXPECT_EQ(WaitForSingleObject(m_hThread.Get(), 5000), WAIT_OBJECT_0);
    m_hThread.Reset();
    ResetEvent(m_hStop.Get());
  }
  // Polls like the band every few milliseconds and keeps each new record.
  std::vector<SharedTrafficRecord> Watch(DWORD dwMs) {
    std::vector<SharedTrafficRecord> seen;
    const ULONGLONG nEnd = GetTickCount64() + dwMs;
    while (GetTickCount64() < nEnd) {
      const auto record = ReadSection(m_strName);
      if (record && (seen.empty() || seen.back().Sequence != record->Sequence) &&
          record->Sequence != 0) {
        seen.push_back(*record);
      }
      Sleep(5);
    }
    return seen;
  }

  std::wstring m_strName;
  CTrafficSectionWriter m_writer;
  CUniqueHandle m_hStop;
  CUniqueHandle m_hThread;
  LoopRun m_run;
};

TEST_F(PublisherLoop, EverySamplePublishesARecordWithANewNonZeroSequence) {
  std::vector<SourceReading> readings;
  for (int i = 0; i < 40; ++i)
    readings.push_back(SampleReading({1000 + i, 2000 + i, 12'500'000, 5'000'000}));
  CScriptedSource source(readings);
  Start(source, 100);
  const std::vector<SharedTrafficRecord> seen = Watch(1200);
  Stop();
  EXPECT_EQ(m_run.nExit, kExitOk);
  ASSERT_GE(seen.size(), 8u);
  std::set<std::uint64_t> sequences;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_NE(seen[i].Sequence, 0u);
    EXPECT_TRUE(sequences.insert(seen[i].Sequence).second);
    EXPECT_EQ(seen[i].RateUp - seen[i].RateDown, 1000) << "a record mixed from two samples";
    if (i > 0) {
      EXPECT_EQ(seen[i].RateDown - seen[i - 1].RateDown,
                static_cast<std::int64_t>(seen[i].Sequence - seen[i - 1].Sequence));
    }
  }
}

TEST_F(PublisherLoop, FailingSourcePublishesNoDataOnceWithANewSequenceThenBacksOff) {
  CScriptedSource source({SampleReading({5000, 6000, 0, 0}), FailedReading(L"router: HTTP 500")});
  Start(source, 100);
  const std::vector<SharedTrafficRecord> seen = Watch(1000);
  Stop();
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen[0].RateDown, 5000);
  EXPECT_EQ(seen[1].RateDown, -1);
  EXPECT_EQ(seen[1].RateUp, -1);
  EXPECT_NE(seen[1].Sequence, seen[0].Sequence);
  TrafficState state;
  const auto last = ReadSection(m_strName);
  ASSERT_TRUE(last);
  EXPECT_TRUE(DecodeTrafficRecord(&*last, state));
  EXPECT_EQ(state.m_nRateLower, -1);
  EXPECT_EQ(state.m_nRateUpper, -1);
  // Reads at 0, 100, then retries after 100, 200, 400 ms: about five in a second, not ten.
  EXPECT_LE(source.Reads(), 6);
  EXPECT_GE(source.Reads(), 3);
}

TEST_F(PublisherLoop, TroubleIsReportedOncePerKindAndTheRecoveryOnce) {
  CScriptedSource source({SampleReading({1, 2, 3, 4}), FailedReading(L"router: HTTP 500"),
                          FailedReading(L"router: HTTP 500"), FailedReading(L"router: timed out"),
                          SampleReading({1, 2, 3, 4})});
  Start(source, 100);
  const ULONGLONG nEnd = GetTickCount64() + 10'000;
  while (source.Reads() < 6 && GetTickCount64() < nEnd) {
    Sleep(10);
  }
  Stop();
  const std::vector<RecordedLine> expected = {
      {OutputStream::Err,
       L"nimbrel-publisher: router: HTTP 500; showing No Data and retrying in 1 s"},
      {OutputStream::Err,
       L"nimbrel-publisher: router: timed out; showing No Data and retrying in 1 s"},
      {OutputStream::Err, L"nimbrel-publisher: the source works again"},
  };
  EXPECT_EQ(m_run.output.m_lines, expected);
}

TEST_F(PublisherLoop, SkippedReadingsPublishNothing) {
  CScriptedSource source({Skip(), Skip(), SampleReading({1, 2, 3, 4}), Skip()});
  Start(source, 100);
  const std::vector<SharedTrafficRecord> seen = Watch(700);
  Stop();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].RateDown, 1);
  EXPECT_GE(source.Reads(), 5);
}

TEST_F(PublisherLoop, StopEndsTheLoopPromptlyEvenWithALongInterval) {
  CScriptedSource source({SampleReading({1, 2, 3, 4})});
  Start(source, 60'000);
  Sleep(100);
  const ULONGLONG nBefore = GetTickCount64();
  Stop();
  EXPECT_LT(GetTickCount64() - nBefore, 1000u);
  EXPECT_EQ(source.Reads(), 1);
}

TEST_F(PublisherLoop, OnceEndsAfterTheFirstRecordOrTheFirstFailure) {
  CScriptedSource source({Skip(), SampleReading({1, 2, 3, 4})});
  m_run.options.m_bOnce = true;
  Start(source, 100);
  ASSERT_EQ(WaitForSingleObject(m_hThread.Get(), 3000), WAIT_OBJECT_0);
  EXPECT_EQ(m_run.nExit, kExitOk);
  EXPECT_EQ(source.Reads(), 2);
  EXPECT_EQ(ReadSection(m_strName)->RateDown, 1);
  Stop();

  CScriptedSource failing({FailedReading(L"router: timed out")});
  m_run.nExit = -1;
  Start(failing, 100);
  ASSERT_EQ(WaitForSingleObject(m_hThread.Get(), 3000), WAIT_OBJECT_0);
  EXPECT_EQ(m_run.nExit, kExitSourceFailed);
  EXPECT_EQ(ReadSection(m_strName)->RateDown, -1);
}

}  // namespace

TEST_F(PublisherLoop, ASourceThatCouldNotStartIsStartedAgainUntilItWorks) {
  auto pLate = std::make_unique<CLateSource>(3);
  CLateSource* pSource = pLate.get();
  const std::wstring strFirst = pSource->Start();
  ASSERT_FALSE(strFirst.empty());
  CRetryingStart retrying(std::move(pLate), strFirst);
  Start(retrying, 100);
  const std::vector<SharedTrafficRecord> seen = Watch(2500);
  Stop();
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen.front().RateDown, -1) << "No Data while it cannot start";
  EXPECT_EQ(seen.back().RateDown, 7);
  EXPECT_EQ(seen.back().RateUp, 8);
  // The first failure is reported without trying again at once; then one try per reading.
  EXPECT_EQ(pSource->m_nStarts, 4);
  const std::vector<RecordedLine> expected = {
      {OutputStream::Err,
       L"nimbrel-publisher: no network adapter is up yet; showing No Data and retrying in 1 s"},
      {OutputStream::Err, L"nimbrel-publisher: the source works again"},
  };
  EXPECT_EQ(m_run.output.m_lines, expected);
}
