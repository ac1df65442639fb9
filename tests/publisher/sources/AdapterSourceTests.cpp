#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "publisher/sources/AdapterSource.h"
#include "support/ChildProcess.h"
#include "support/SectionReader.h"

namespace {

TEST(InterfaceTable, ListsTheLoopbackWithSaneCountersAndLeavesItOutOfThisPcsTraffic) {
  const auto rows = ReadInterfaceTable();
  ASSERT_TRUE(rows);
  ASSERT_FALSE(rows->empty());
  const auto totals = SumAdapters(*rows, L"");
  ASSERT_TRUE(totals);
  bool bLoopback = false;
  for (const InterfaceCounters& row : *rows) {
    EXPECT_NE(row.m_nLuid, 0u);
    EXPECT_FALSE(row.m_strAlias.empty());
    // Far below what a PC moves since boot would make absurd: no garbage fields.
    EXPECT_LT(row.m_nInOctets, std::uint64_t{1} << 56);
    EXPECT_LT(row.m_nOutOctets, std::uint64_t{1} << 56);
    if (ClassifyAdapter(row) == AdapterKind::Loopback) {
      bLoopback = true;
      EXPECT_EQ(std::count(totals->m_luids.begin(), totals->m_luids.end(), row.m_nLuid), 0);
    }
  }
  EXPECT_TRUE(bLoopback);
}

// A started source: its first read is the baseline, its second a sample.
void ExpectBaselineThenRates(CAdapterSource& source, SourceReading& reading) {
  ASSERT_EQ(source.Start(), L"");
  EXPECT_EQ(source.Read(1000).m_kind, SourceReading::Kind::Skip);
  reading = source.Read(2000);
  ASSERT_EQ(reading.m_kind, SourceReading::Kind::Sample);
  EXPECT_GE(reading.m_sample.m_nRateDown, 0);
  EXPECT_GE(reading.m_sample.m_nRateUp, 0);
}

TEST(AdapterSource, AllAdaptersGiveABaselineThenNonNegativeRates) {
  CAdapterSource source(L"");
  SourceReading reading;
  ASSERT_NO_FATAL_FAILURE(ExpectBaselineThenRates(source, reading));
  EXPECT_GE(reading.m_sample.m_nMaxDown, 0);
  EXPECT_GE(reading.m_sample.m_nMaxUp, 0);
}

TEST(AdapterSource, AnAdapterChosenByNameGivesABaselineThenRates) {
  const auto rows = ReadInterfaceTable();
  ASSERT_TRUE(rows);
  std::wstring strLoopback;
  for (const InterfaceCounters& row : *rows) {
    if (row.m_nType == kIfTypeLoopback) strLoopback = row.m_strAlias;
  }
  ASSERT_FALSE(strLoopback.empty());
  CAdapterSource source(strLoopback);
  SourceReading reading;
  ExpectBaselineThenRates(source, reading);
}

TEST(AdapterSource, UnknownAdapterNameIsASetupErrorThatSaysWhatToDo) {
  CAdapterSource source(L"No Such Adapter 42");
  const std::wstring strError = source.Start();
  EXPECT_NE(strError.find(L"no network adapter is called 'No Such Adapter 42'"),
            std::wstring::npos);
  EXPECT_NE(strError.find(L"Get-NetAdapter"), std::wstring::npos);
}

TEST(AdapterSource, ProgramPublishesThisPcsTrafficAndRefusesAMissingAdapter) {
  const std::wstring strName = UniqueSectionName(L"ExeAdapter");
  const ChildResult result = RunPublisher(
      L"--section-name \"" + strName + L"\" --source adapter --interval 200 --once", 10000);
  ASSERT_TRUE(result.m_bExited);
  EXPECT_EQ(result.m_dwExitCode, 0u) << result.m_strErr;
  EXPECT_EQ(result.m_strOut.rfind("seq=", 0), 0u) << result.m_strOut;
  EXPECT_EQ(result.m_strOut.find("down=-1"), std::string::npos) << result.m_strOut;

  const ChildResult missing = RunPublisher(
      L"--section-name \"" + strName + L"\" --source adapter --adapter \"Token Ring 3\" --once",
      10000);
  ASSERT_TRUE(missing.m_bExited);
  EXPECT_EQ(missing.m_dwExitCode, 3u);
  EXPECT_EQ(
      missing.m_strErr.rfind("nimbrel-publisher: no network adapter is called 'Token Ring 3'", 0),
      0u)
      << missing.m_strErr;
  EXPECT_FALSE(ReadSection(strName));
}

}  // namespace
