#include <gtest/gtest.h>

#include <vector>

#include "AdapterTotals.h"

namespace {

InterfaceCounters Row(std::uint64_t nLuid, const wchar_t* pszAlias, bool bUp, std::uint64_t nIn,
                      std::uint64_t nOut, std::uint64_t nLinkBits = 100'000'000) {
  InterfaceCounters row;
  row.m_nLuid = nLuid;
  row.m_strAlias = pszAlias;
  row.m_strDescription = std::wstring(pszAlias) + L" Controller";
  row.m_bUp = bUp;
  row.m_nInOctets = nIn;
  row.m_nOutOctets = nOut;
  row.m_nReceiveLinkBits = nLinkBits;
  row.m_nTransmitLinkBits = nLinkBits / 2;
  return row;
}

std::vector<InterfaceCounters> Table() {
  std::vector<InterfaceCounters> rows;
  rows.push_back(Row(30, L"Ethernet", true, 1000, 100));
  rows.push_back(Row(10, L"Wi-Fi", true, 2000, 200, 400'000'000));
  rows.push_back(Row(20, L"Bluetooth", false, 4000, 400));
  InterfaceCounters loopback =
      Row(1, L"Loopback Pseudo-Interface 1", true, 8000, 8000, 1'073'741'824'000);
  loopback.m_bLoopback = true;
  rows.push_back(loopback);
  InterfaceCounters tunnel = Row(2, L"Teredo", true, 16000, 1600);
  tunnel.m_bTunnel = true;
  rows.push_back(tunnel);
  InterfaceCounters filter =
      Row(3, L"Ethernet-WFP Native MAC Layer LightWeight Filter-0000", true, 1000, 100);
  filter.m_bFilter = true;
  rows.push_back(filter);
  return rows;
}

TEST(SumAdapters, AddsInterfacesThatAreUpExceptLoopbackTunnelAndFilters) {
  const auto totals = SumAdapters(Table(), L"");
  ASSERT_TRUE(totals);
  EXPECT_EQ(totals->m_luids, (std::vector<std::uint64_t>{10, 30}));
  EXPECT_EQ(totals->m_nInOctets, 3000u);
  EXPECT_EQ(totals->m_nOutOctets, 300u);
  EXPECT_EQ(totals->m_nMaxDown, (100'000'000u + 400'000'000u) / 8);
  EXPECT_EQ(totals->m_nMaxUp, (50'000'000u + 200'000'000u) / 8);
}

TEST(SumAdapters, NamedAdapterMatchesAliasOrDescriptionWhateverItsState) {
  struct Case {
    const wchar_t* name;
    std::uint64_t luid;
  };
  static constexpr Case kCases[] = {
      {L"Wi-Fi", 10}, {L"wi-fi", 10}, {L"ETHERNET CONTROLLER", 30}, {L"Bluetooth", 20}};
  for (const Case& c : kCases) {
    const auto totals = SumAdapters(Table(), c.name);
    ASSERT_TRUE(totals) << c.luid;
    EXPECT_EQ(totals->m_luids, std::vector<std::uint64_t>{c.luid});
  }
}

TEST(SumAdapters, UnknownNameGivesNothingButNoInterfacesUpGivesZeroTotals) {
  EXPECT_FALSE(SumAdapters(Table(), L"Token Ring"));
  const auto totals = SumAdapters({Row(5, L"Ethernet", false, 1, 1)}, L"");
  ASSERT_TRUE(totals);
  EXPECT_TRUE(totals->m_luids.empty());
  EXPECT_EQ(totals->m_nInOctets, 0u);
}

TEST(SumAdapters, UnknownLinkSpeedGivesNoFullScale) {
  const auto totals = SumAdapters({Row(5, L"Ethernet", true, 1, 1, ~0ull)}, L"");
  ASSERT_TRUE(totals);
  EXPECT_EQ(totals->m_nMaxDown, 0u);
}

AdapterTotals Totals(std::vector<std::uint64_t> luids, std::uint64_t nIn, std::uint64_t nOut) {
  AdapterTotals totals;
  totals.m_luids = std::move(luids);
  totals.m_nInOctets = nIn;
  totals.m_nOutOctets = nOut;
  totals.m_nMaxDown = 12'500'000;
  totals.m_nMaxUp = 5'000'000;
  return totals;
}

TEST(AdapterRateTracker, GivesRatesFromTheSecondSampleOn) {
  CAdapterRateTracker tracker;
  EXPECT_FALSE(tracker.Add(Totals({1, 2}, 1000, 100), 0));
  const auto sample = tracker.Add(Totals({1, 2}, 3000, 600), 500);
  ASSERT_TRUE(sample);
  EXPECT_EQ(sample->m_nRateDown, 4000);
  EXPECT_EQ(sample->m_nRateUp, 1000);
  EXPECT_EQ(sample->m_nMaxDown, 12'500'000);
  EXPECT_EQ(sample->m_nMaxUp, 5'000'000);
}

TEST(AdapterRateTracker, InterfaceComingOrGoingSkipsOneSample) {
  CAdapterRateTracker tracker;
  EXPECT_FALSE(tracker.Add(Totals({1}, 1000, 100), 0));
  EXPECT_TRUE(tracker.Add(Totals({1}, 2000, 200), 1000));
  // A second adapter with a large history joins: no spike.
  EXPECT_FALSE(tracker.Add(Totals({1, 2}, 900'000'000, 90'000'000), 2000));
  const auto joined = tracker.Add(Totals({1, 2}, 900'001'000, 90'000'100), 3000);
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->m_nRateDown, 1000);
  // It leaves again: the totals drop, which must not read as anything.
  EXPECT_FALSE(tracker.Add(Totals({1}, 5000, 500), 4000));
  EXPECT_TRUE(tracker.Add(Totals({1}, 6000, 600), 5000));
}

TEST(AdapterRateTracker, CounterResetSkipsOneSample) {
  CAdapterRateTracker tracker;
  EXPECT_FALSE(tracker.Add(Totals({1}, 50'000, 5'000), 0));
  EXPECT_FALSE(tracker.Add(Totals({1}, 100, 10), 1000));
  const auto sample = tracker.Add(Totals({1}, 1100, 110), 2000);
  ASSERT_TRUE(sample);
  EXPECT_EQ(sample->m_nRateDown, 1000);
  EXPECT_EQ(sample->m_nRateUp, 100);
}

}  // namespace
