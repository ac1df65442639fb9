#include <gtest/gtest.h>

#include <vector>

#include "publisher/sources/AdapterTotals.h"

namespace {

// One interface as the interface table lists it: up, with its counters and
// link speed (transmit half the receive speed).
InterfaceCounters Adapter(std::uint64_t nLuid, const wchar_t* pszAlias,
                          const wchar_t* pszDescription, std::uint32_t nType, std::uint32_t nMedium,
                          bool bHardware, bool bConnector,
                          std::uint64_t nLinkBits = 1'000'000'000) {
  InterfaceCounters row;
  row.m_nLuid = nLuid;
  row.m_strAlias = pszAlias;
  row.m_strDescription = pszDescription;
  row.m_nType = nType;
  row.m_nPhysicalMedium = nMedium;
  row.m_bUp = true;
  row.m_bHardware = bHardware;
  row.m_bConnectorPresent = bConnector;
  row.m_nInOctets = nLuid * 1000;
  row.m_nOutOctets = nLuid * 100;
  row.m_nReceiveLinkBits = nLinkBits;
  row.m_nTransmitLinkBits = nLinkBits / 2;
  return row;
}

InterfaceCounters Down(InterfaceCounters row) {
  row.m_bUp = false;
  return row;
}

InterfaceCounters WithTunnelType(InterfaceCounters row, std::uint32_t nTunnelType) {
  row.m_nTunnelType = nTunnelType;
  return row;
}

InterfaceCounters AsFilter(InterfaceCounters row) {
  row.m_bFilter = true;
  return row;
}

InterfaceCounters AsEndPoint(InterfaceCounters row) {
  row.m_bEndPoint = true;
  return row;
}

struct KindCase {
  InterfaceCounters row;
  AdapterKind kind;
};

// A desktop with Hyper-V and WSL, on a wire.
std::vector<KindCase> Desktop() {
  return {
      {Adapter(10, L"Ethernet", L"Intel(R) Ethernet Connection (7) I219-V", kIfTypeEthernet,
               kMedium8023, true, true),
       AdapterKind::Counted},
      {Down(Adapter(11, L"Wi-Fi", L"Intel(R) Wi-Fi 6 AX200 160MHz", kIfTypeWifi, kMediumWifi, true,
                    true, 1'200'000'000)),
       AdapterKind::Down},
      {Adapter(12, L"vEthernet (Default Switch)", L"Hyper-V Virtual Ethernet Adapter",
               kIfTypeEthernet, kMediumUnspecified, false, false, 10'000'000'000),
       AdapterKind::VirtualSwitch},
      {Adapter(13, L"vEthernet (WSL (Hyper-V firewall))", L"Hyper-V Virtual Ethernet Adapter #2",
               kIfTypeEthernet, kMediumUnspecified, false, false, 10'000'000'000),
       AdapterKind::VirtualSwitch},
      // An external switch's host side that claims a connector: known by its name.
      {Adapter(14, L"vEthernet (External)", L"Hyper-V Virtual Ethernet Adapter #3", kIfTypeEthernet,
               kMedium8023, false, true, 1'000'000'000),
       AdapterKind::VirtualSwitch},
      {Adapter(1, L"Loopback Pseudo-Interface 1", L"Software Loopback Interface 1", kIfTypeLoopback,
               kMediumUnspecified, false, false, 1'073'741'824'000),
       AdapterKind::Loopback},
      {AsFilter(Adapter(15, L"Ethernet-WFP Native MAC Layer LightWeight Filter-0000",
                        L"Intel(R) Ethernet Connection (7) I219-V", kIfTypeEthernet, kMedium8023,
                        true, true)),
       AdapterKind::Filter},
      {WithTunnelType(
           Adapter(16, L"Teredo Tunneling Pseudo-Interface", L"Teredo Tunneling Pseudo-Interface",
                   kIfTypeTunnel, kMediumUnspecified, false, false, 100'000),
           14),
       AdapterKind::Tunnel},
      {Down(Adapter(17, L"Bluetooth Network Connection",
                    L"Bluetooth Device (Personal Area Network)", kIfTypeEthernet, kMediumBluetooth,
                    true, true, 3'000'000)),
       AdapterKind::Down},
      {Adapter(18, L"Ethernet 3", L"VirtualBox Host-Only Ethernet Adapter", kIfTypeEthernet,
               kMedium8023, false, true),
       AdapterKind::VirtualSwitch},
  };
}

// A laptop on Wi-Fi and mobile broadband, tethered over Bluetooth, with VPNs.
std::vector<KindCase> Laptop() {
  return {
      {Adapter(20, L"Wi-Fi", L"Intel(R) Wi-Fi 6E AX211 160MHz", kIfTypeWifi, kMediumWifi, true,
               true, 866'000'000),
       AdapterKind::Counted},
      {Adapter(21, L"Cellular", L"Qualcomm Snapdragon X55 5G", kIfTypeMobileBroadband,
               kMediumWirelessWan, true, true, 150'000'000),
       AdapterKind::Counted},
      {Adapter(22, L"Bluetooth Network Connection", L"Bluetooth Device (Personal Area Network)",
               kIfTypeEthernet, kMediumBluetooth, true, true, 3'000'000),
       AdapterKind::Counted},
      // OpenVPN's TAP driver says it has a connector.
      {Adapter(23, L"Ethernet 2", L"TAP-Windows Adapter V9", kIfTypeEthernet, kMediumUnspecified,
               false, true, 1'000'000'000),
       AdapterKind::Tunnel},
      {Adapter(24, L"OpenVPN Wintun", L"Wintun Userspace Tunnel", kIfTypePropVirtual,
               kMediumUnspecified, false, false, 10'000'000'000),
       AdapterKind::Tunnel},
      {Adapter(25, L"wg0", L"WireGuard Tunnel", kIfTypePropVirtual, kMediumUnspecified, false,
               false, 10'000'000'000),
       AdapterKind::Tunnel},
      {Adapter(26, L"Work VPN", L"Work VPN", kIfTypePpp, kMediumUnspecified, false, false),
       AdapterKind::Tunnel},
      {Adapter(27, L"Local Area Connection* 2", L"Microsoft Wi-Fi Direct Virtual Adapter",
               kIfTypeWifi, kMediumWifi, false, false, 866'000'000),
       AdapterKind::Virtual},
      // A phone plugged in for its files: a device, not a way to the internet.
      {AsEndPoint(Adapter(28, L"Ethernet 4", L"Remote NDIS Compatible Device", kIfTypeEthernet,
                          kMedium8023, true, true, 425'000'000)),
       AdapterKind::Virtual},
      {WithTunnelType(Adapter(29, L"iphttpsinterface", L"Microsoft IP-HTTPS Platform Adapter",
                              kIfTypeTunnel, kMediumUnspecified, false, false),
                      15),
       AdapterKind::Tunnel},
      {Adapter(2, L"Loopback Pseudo-Interface 1", L"Software Loopback Interface 1", kIfTypeLoopback,
               kMediumUnspecified, false, false, 1'073'741'824'000),
       AdapterKind::Loopback},
  };
}

std::vector<InterfaceCounters> Rows(const std::vector<KindCase>& cases) {
  std::vector<InterfaceCounters> rows;
  for (const KindCase& c : cases) {
    rows.push_back(c.row);
  }
  return rows;
}

TEST(ClassifyAdapter, OnlyAdaptersWithTrafficOfTheirOwnToTheInternetCount) {
  for (const auto& list : {Desktop(), Laptop()}) {
    for (const KindCase& c : list) {
      EXPECT_EQ(ClassifyAdapter(c.row), c.kind)
          << std::string(c.row.m_strDescription.begin(), c.row.m_strDescription.end());
    }
  }
}

TEST(ClassifyAdapter, EachSignOfAVirtualAdapterOnItsOwnLeavesAPhysicalOneOut) {
  const InterfaceCounters ethernet = Adapter(10, L"Ethernet", L"Realtek PCIe GbE Family Controller",
                                             kIfTypeEthernet, kMedium8023, true, true);
  ASSERT_EQ(ClassifyAdapter(ethernet), AdapterKind::Counted);
  struct Case {
    const char* what;
    InterfaceCounters row;
    AdapterKind kind;
  };
  InterfaceCounters vswitch = ethernet;
  vswitch.m_strAlias = L"vEthernet (LAN)";
  InterfaceCounters named = ethernet;
  named.m_strDescription = L"ExpressVPN TAP Adapter";
  InterfaceCounters noDevice = ethernet;
  noDevice.m_bHardware = false;
  noDevice.m_bConnectorPresent = false;
  InterfaceCounters noDeviceButConnector = noDevice;
  noDeviceButConnector.m_bConnectorPresent = true;
  InterfaceCounters propVirtual = ethernet;
  propVirtual.m_nType = kIfTypePropVirtual;
  InterfaceCounters ppp = ethernet;
  ppp.m_nType = kIfTypePpp;
  const Case kCases[] = {
      {"down", Down(ethernet), AdapterKind::Down},
      {"filter", AsFilter(ethernet), AdapterKind::Filter},
      {"end point", AsEndPoint(ethernet), AdapterKind::Virtual},
      {"tunnel type", WithTunnelType(ethernet, 2), AdapterKind::Tunnel},
      {"ppp", ppp, AdapterKind::Tunnel},
      {"vEthernet alias", vswitch, AdapterKind::VirtualSwitch},
      {"vpn driver's name", named, AdapterKind::Tunnel},
      {"neither hardware nor connector", noDevice, AdapterKind::Virtual},
      {"a connector is enough", noDeviceButConnector, AdapterKind::Counted},
      {"proprietary virtual type", propVirtual, AdapterKind::Virtual},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(ClassifyAdapter(c.row), c.kind) << c.what;
  }
}

TEST(SumAdapters, AddsOnlyTheAdaptersThatCountAndTakesTheFullScaleFromThem) {
  const auto desktop = SumAdapters(Rows(Desktop()), L"");
  ASSERT_TRUE(desktop);
  EXPECT_EQ(desktop->m_luids, (std::vector<std::uint64_t>{10}));
  EXPECT_EQ(desktop->m_nInOctets, 10'000u);
  EXPECT_EQ(desktop->m_nOutOctets, 1'000u);
  EXPECT_EQ(desktop->m_nMaxDown, 1'000'000'000u / 8);
  EXPECT_EQ(desktop->m_nMaxUp, 500'000'000u / 8);

  const auto laptop = SumAdapters(Rows(Laptop()), L"");
  ASSERT_TRUE(laptop);
  EXPECT_EQ(laptop->m_luids, (std::vector<std::uint64_t>{20, 21, 22}));
  EXPECT_EQ(laptop->m_nInOctets, (20u + 21u + 22u) * 1000u);
  EXPECT_EQ(laptop->m_nMaxDown, (866'000'000u + 150'000'000u + 3'000'000u) / 8);
  EXPECT_EQ(laptop->m_nMaxUp, (433'000'000u + 75'000'000u + 1'500'000u) / 8);
}

TEST(SumAdapters, NamedAdapterMatchesAliasOrDescriptionWhateverItsKindAndState) {
  struct Case {
    const wchar_t* name;
    std::uint64_t luid;
  };
  static constexpr Case kCases[] = {
      {L"Wi-Fi", 20},
      {L"wi-fi", 20},
      {L"WINTUN USERSPACE TUNNEL", 24},
      {L"wg0", 25},
      {L"Loopback Pseudo-Interface 1", 2},
      {L"Local Area Connection* 2", 27},
  };
  std::vector<InterfaceCounters> rows = Rows(Laptop());
  const std::vector<InterfaceCounters> desktop = Rows(Desktop());
  rows.insert(rows.end(), desktop.begin(), desktop.end());
  for (const Case& c : kCases) {
    const auto totals = SumAdapters(rows, c.name);
    ASSERT_TRUE(totals) << c.luid;
    EXPECT_EQ(totals->m_luids, std::vector<std::uint64_t>{c.luid});
  }
  const auto wsl = SumAdapters(rows, L"vEthernet (WSL (Hyper-V firewall))");
  ASSERT_TRUE(wsl);
  EXPECT_EQ(wsl->m_luids, std::vector<std::uint64_t>{13});
  EXPECT_EQ(wsl->m_nMaxDown, 10'000'000'000u / 8);
  const auto down = SumAdapters(rows, L"Bluetooth Device (Personal Area Network)");
  ASSERT_TRUE(down);
  EXPECT_EQ(down->m_luids.size(), 1u);
}

TEST(SumAdapters, UnknownNameGivesNothingButNoAdapterThatCountsGivesZeroTotals) {
  EXPECT_FALSE(SumAdapters(Rows(Desktop()), L"Token Ring"));
  const auto totals = SumAdapters({Down(Rows(Desktop()).front())}, L"");
  ASSERT_TRUE(totals);
  EXPECT_TRUE(totals->m_luids.empty());
  EXPECT_EQ(totals->m_nInOctets, 0u);
}

TEST(SumAdapters, UnknownLinkSpeedGivesNoFullScale) {
  const auto totals = SumAdapters(
      {Adapter(5, L"Ethernet", L"Intel(R) I210", kIfTypeEthernet, kMedium8023, true, true, ~0ull)},
      L"");
  ASSERT_TRUE(totals);
  EXPECT_EQ(totals->m_luids, std::vector<std::uint64_t>{5});
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

// A PC that slept between two readings: the average over the sleep is no
// rate that happened. A failed reading likewise leaves no baseline behind.
TEST(AdapterRateTracker, ReadingsTooFarApartOrAroundAFailureGiveNoRate) {
  struct Case {
    std::uint64_t nGapMs;
    bool bForgetBetween;
    bool bRate;
  };
  static constexpr Case kCases[] = {
      {kLongestReadingGapMs - 1, false, true},
      {kLongestReadingGapMs, false, true},
      {kLongestReadingGapMs + 1, false, false},
      {1000, true, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.nGapMs);
    CAdapterRateTracker tracker;
    EXPECT_FALSE(tracker.Add(Totals({1}, 1000, 100), 10'000));
    if (c.bForgetBetween) {
      tracker.Forget();
    }
    EXPECT_EQ(tracker.Add(Totals({1}, 2000, 200), 10'000 + c.nGapMs).has_value(), c.bRate);
    // Either way the reading after it gives a rate again.
    EXPECT_TRUE(tracker.Add(Totals({1}, 3000, 300), 11'000 + c.nGapMs));
  }
}

}  // namespace
