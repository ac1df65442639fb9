// The router source over days: reboots, moves, new devices, counter resets,
// lines that sync late or again. The fake gateway changes under the source as
// a real router would; the source's clock is the test's, one reading a second
// unless a test says otherwise.

// Winsock's headers (through the fake gateway) must come before <windows.h>.
#include "support/FakeRouterTest.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "publisher/sources/RouterSource.h"
#include "support/ChildProcess.h"
#include "support/SectionReader.h"

namespace {

using K = SourceReading::Kind;

class RouterRecovery : public FakeRouterTest {
 protected:
  SourceReading ReadNext(CRouterSource& source) {
    m_nNowMs += 1000;
    return source.Read(m_nNowMs);
  }
  // The first reading that is not a failure, within nMost readings.
  SourceReading ReadUntilAnswered(CRouterSource& source, int nMost, int& nFailed) {
    SourceReading reading;
    for (nFailed = 0; nFailed < nMost; ++nFailed) {
      reading = ReadNext(source);
      if (reading.m_kind != K::Failed) {
        break;
      }
    }
    return reading;
  }

  std::uint64_t m_nNowMs = 1'000'000;
};

enum class Outage { Refused, TimedOut, ControlUrlGone };

struct ComeBackCase {
  const char* name;
  bool bAddon;
  Outage outage;
  bool bNewPaths;
};

const ComeBackCase kComeBackCases[] = {
    {"rates, refused, same paths", true, Outage::Refused, false},
    {"rates, refused, new paths", true, Outage::Refused, true},
    {"rates, timed out, new paths", true, Outage::TimedOut, true},
    {"rates, control URL now 404", true, Outage::ControlUrlGone, true},
    {"totals, refused, same paths", false, Outage::Refused, false},
    {"totals, refused, new paths", false, Outage::Refused, true},
    {"totals, timed out, same paths", false, Outage::TimedOut, false},
    {"totals, control URL now 404", false, Outage::ControlUrlGone, true},
};

// However long it was away, the router is asked for afresh once readings
// keep failing, so that the first reading after it answers again is good
// (the loop's back-off, at most 30 s, is then all that stands between the
// router answering and its figures), and the first rate comes from two
// readings after its return.
TEST_F(RouterRecovery, AfterReadingsKeepFailingTheRouterIsFoundAgainByItself) {
  Serve();
  for (const ComeBackCase& c : kComeBackCases) {
    Change([&c](FakeGateway& gateway) {
      gateway = FakeGateway();
      gateway.m_bAddon = c.bAddon;
      gateway.SetTotals({3'000'000'000}, {3'500'000'000});
      gateway.m_nSentStep = 1000;
      gateway.m_nReceivedStep = 20'000;
    });
    CRouterSource source(DescriptionUrl(), 500);
    ASSERT_EQ(source.Start(), L"") << c.name;
    if (!c.bAddon) {
      ASSERT_EQ(ReadNext(source).m_kind, K::Skip) << c.name;
    }
    ASSERT_EQ(ReadNext(source).m_kind, K::Sample) << c.name;

    switch (c.outage) {
      case Outage::Refused:
        m_igd.Refuse();
        break;
      case Outage::TimedOut:
        Change([](FakeGateway& gateway) {
          for (const char* pszWhat : {"GET /igddesc.xml", "GetCommonLinkProperties",
                                      "GetAddonInfos", "GetTotalBytesSent"}) {
            gateway.m_overrides[pszWhat] = {200, "", true};
          }
        });
        break;
      case Outage::ControlUrlGone:
        break;
    }
    // Back after a reboot: its totals start again from nothing.
    const auto comeBack = [&] {
      Change([&c](FakeGateway& gateway) {
        gateway.m_overrides.clear();
        if (c.bNewPaths) {
          gateway.Describe("/rebooted/ctl");
        }
        gateway.SetTotals({40'000}, {900'000});
      });
      if (c.outage == Outage::Refused) {
        ASSERT_TRUE(m_igd.Listen());
      }
    };
    int nFailed = 0;
    if (c.outage == Outage::ControlUrlGone) {
      // It answers all along, only no longer where it did.
      comeBack();
    } else {
      for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ReadNext(source).m_kind, K::Failed) << c.name << ", reading " << i;
      }
      comeBack();
    }
    const int nMost = c.outage == Outage::ControlUrlGone ? 5 : 1;
    SourceReading reading = ReadUntilAnswered(source, nMost, nFailed);
    if (c.outage == Outage::ControlUrlGone) {
      EXPECT_LE(nFailed, static_cast<int>(kFailedReadingsBeforeStartOver)) << c.name;
    }
    if (c.bAddon) {
      ASSERT_EQ(reading.m_kind, K::Sample) << c.name << ": " << Narrow(reading.m_strError);
      EXPECT_EQ(reading.m_sample.m_nRateDown, 1'234'567) << c.name;
    } else {
      // The first reading after its return is only a baseline.
      ASSERT_EQ(reading.m_kind, K::Skip) << c.name << ": " << Narrow(reading.m_strError);
      reading = ReadNext(source);
      ASSERT_EQ(reading.m_kind, K::Sample) << c.name << ": " << Narrow(reading.m_strError);
      EXPECT_EQ(reading.m_sample.m_nRateDown, 20'000) << c.name;
      EXPECT_EQ(reading.m_sample.m_nRateUp, 1'000) << c.name;
    }
    EXPECT_EQ(
        Narrow(source.ControlUrl()),
        "http://127.0.0.1:" + PortText() + (c.bNewPaths ? "/rebooted/ctl" : "/upnp/control/wancic"))
        << c.name;
  }
}

// One reading that fails is doubt enough: whatever the counters did
// meanwhile, the next rate spans two good readings after it.
TEST_F(RouterRecovery, AfterOneFailedReadingTheNextRateComesFromTwoGoodOnes) {
  struct Case {
    const char* name;
    const char* pszAction;
    FakeResponse failure;
  };
  const Case kCases[] = {
      {"HTTP 500", "GetTotalBytesSent", {500, ""}},
      {"UPnP fault", "GetTotalBytesReceived", {500, SoapFault(501, "Action Failed")}},
      {"time-out", "GetTotalBytesSent", {200, "", true}},
  };
  Serve();
  for (const Case& c : kCases) {
    Change([](FakeGateway& gateway) {
      gateway = FakeGateway();
      gateway.m_bAddon = false;
      gateway.SetTotals({1'000'000}, {2'000'000});
      gateway.m_nSentStep = 1000;
      gateway.m_nReceivedStep = 2000;
    });
    CRouterSource source(DescriptionUrl(), 500);
    ASSERT_EQ(source.Start(), L"");
    EXPECT_EQ(ReadNext(source).m_kind, K::Skip) << c.name;
    EXPECT_EQ(ReadNext(source).m_kind, K::Sample) << c.name;
    Change([&c](FakeGateway& gateway) { gateway.m_overrides[c.pszAction] = c.failure; });
    EXPECT_EQ(ReadNext(source).m_kind, K::Failed) << c.name;
    Change([](FakeGateway& gateway) { gateway.m_overrides.clear(); });
    EXPECT_EQ(ReadNext(source).m_kind, K::Skip) << c.name << ": a rate across the failure";
    const SourceReading reading = ReadNext(source);
    ASSERT_EQ(reading.m_kind, K::Sample) << c.name << ": " << Narrow(reading.m_strError);
    EXPECT_EQ(reading.m_sample.m_nRateUp, 1000) << c.name;
    EXPECT_EQ(reading.m_sample.m_nRateDown, 2000) << c.name;
  }
}

// A PC that slept between two readings: the counters' difference is an
// average over the sleep, not what the line carries now.
TEST_F(RouterRecovery, ReadingsTooFarApartGiveNoRate) {
  struct Case {
    std::uint64_t nGapMs;
    K expected;
  };
  const Case kCases[] = {{kLongestReadingGapMs, K::Sample}, {kLongestReadingGapMs + 1, K::Skip}};
  Serve();
  for (const Case& c : kCases) {
    Change([](FakeGateway& gateway) {
      gateway = FakeGateway();
      gateway.m_bAddon = false;
      gateway.SetTotals({1'000'000}, {2'000'000});
      gateway.m_nSentStep = 1000;
      gateway.m_nReceivedStep = 2000;
    });
    CRouterSource source(DescriptionUrl(), 1000);
    ASSERT_EQ(source.Start(), L"");
    EXPECT_EQ(ReadNext(source).m_kind, K::Skip);
    EXPECT_EQ(ReadNext(source).m_kind, K::Sample);
    m_nNowMs += c.nGapMs;
    const SourceReading reading = source.Read(m_nNowMs);
    EXPECT_EQ(reading.m_kind, c.expected) << c.nGapMs << ": " << Narrow(reading.m_strError);
    const SourceReading next = ReadNext(source);
    ASSERT_EQ(next.m_kind, K::Sample) << c.nGapMs;
    EXPECT_EQ(next.m_sample.m_nRateDown, 2000);
  }
}

struct MoveCase {
  const char* name;
  const char* pszDescriptionPath;
  const char* pszControlPath;
};

TEST_F(RouterRecovery, WithAutoTheRouterIsSearchedForAgainAndFoundOnItsNewPort) {
  const MoveCase kCases[] = {
      {"same paths", "/igddesc.xml", "/upnp/control/wancic"},
      {"new paths", "/rootDesc.xml", "/ctl/CmnIfCfg"},
  };
  Serve();
  for (const MoveCase& c : kCases) {
    Change([](FakeGateway& gateway) { gateway = FakeGateway(); });
    CRouterSource source(L"auto", 1000, nullptr,
                         {kLoopbackIpv4, static_cast<std::uint16_t>(m_igd.SsdpPort())});
    ASSERT_EQ(source.Start(), L"") << c.name;
    ASSERT_EQ(ReadNext(source).m_kind, K::Sample) << c.name;
    const std::size_t nSearches = m_igd.SsdpSearches().size();

    const int nOldPort = m_igd.Port();
    Change([&c](FakeGateway& gateway) {
      gateway.m_strDescriptionPath = c.pszDescriptionPath;
      gateway.Describe(c.pszControlPath);
    });
    ASSERT_TRUE(m_igd.Listen(true));
    ASSERT_NE(m_igd.Port(), nOldPort);
    int nFailed = 0;
    const SourceReading reading =
        ReadUntilAnswered(source, kFailedReadingsBeforeStartOver + 1, nFailed);
    ASSERT_EQ(reading.m_kind, K::Sample) << c.name << ": " << Narrow(reading.m_strError);
    EXPECT_EQ(nFailed, static_cast<int>(kFailedReadingsBeforeStartOver)) << c.name;
    EXPECT_EQ(Narrow(source.DescriptionUrl()),
              "http://127.0.0.1:" + PortText() + c.pszDescriptionPath)
        << c.name;
    EXPECT_EQ(Narrow(source.ControlUrl()), "http://127.0.0.1:" + PortText() + c.pszControlPath)
        << c.name;
    EXPECT_GT(m_igd.SsdpSearches().size(), nSearches) << c.name;
  }
}

// What was learnt of one box (here: that its counters are wider than 32
// bits, so that a lower reading is a reset) is not held against another.
// The new box's 32-bit counters wrap a second after it is found: a wrap
// for it, a reset had it been taken for the old one.
TEST_F(RouterRecovery, ADeviceWithAnotherUdnStartsFromNothing) {
  struct Case {
    const char* name;
    const char* pszUdn;
    K expected;
  };
  const Case kCases[] = {
      {"the same box rebooted", kFakeUdn, K::Skip},
      {"another box", "uuid:11111111-2222-3333-4444-555555555555", K::Sample},
  };
  Serve();
  for (const Case& c : kCases) {
    Change([](FakeGateway& gateway) {
      gateway = FakeGateway();
      gateway.m_bAddon = false;
      gateway.SetTotals({5'000'000'000, 5'000'001'000}, {6'000'000'000, 6'000'002'000});
    });
    CRouterSource source(DescriptionUrl(), 1000);
    ASSERT_EQ(source.Start(), L"");
    EXPECT_EQ(ReadNext(source).m_kind, K::Skip);
    ASSERT_EQ(ReadNext(source).m_kind, K::Sample);

    m_igd.Refuse();
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(ReadNext(source).m_kind, K::Failed) << c.name;
    }
    Change([&c](FakeGateway& gateway) {
      gateway.Describe(gateway.m_strControlPath, c.pszUdn);
      gateway.SetTotals({4'294'967'000, 500}, {4'294'966'000, 1'000});
    });
    ASSERT_TRUE(m_igd.Listen());
    EXPECT_EQ(ReadNext(source).m_kind, K::Skip) << c.name;
    EXPECT_EQ(Narrow(source.Udn()), c.pszUdn);
    const SourceReading reading = ReadNext(source);
    ASSERT_EQ(reading.m_kind, c.expected) << c.name << ": " << Narrow(reading.m_strError);
    if (c.expected == K::Sample) {
      EXPECT_EQ(reading.m_sample.m_nRateUp, 796) << c.name;
      EXPECT_EQ(reading.m_sample.m_nRateDown, 2'296) << c.name;
    }
  }
}

struct ResetCase {
  const char* name;
  bool bLinkKnown;
  bool bAnswersThroughout;  // the WAN reconnects while the router answers
  int nOutageReadings;      // otherwise: readings that fail while it reboots
};

// Totals near 3.5 GB received and 4.2 GB sent go back to almost nothing. The
// traffic is 1 MB/s down and 100 kB/s up before and after; nothing else may
// ever be shown.
TEST_F(RouterRecovery, ACounterResetShowsNoRateThatDidNotHappen) {
  const ResetCase kCases[] = {
      {"WAN reconnect, link not known", false, true, 0},
      {"WAN reconnect, link known", true, true, 0},
      {"40 s reboot, link known", true, false, 40},
      {"40 s reboot, link not known", false, false, 40},
  };
  Serve();
  for (const ResetCase& c : kCases) {
    Change([&c](FakeGateway& gateway) {
      gateway = FakeGateway();
      gateway.m_bAddon = false;
      if (!c.bLinkKnown) {
        gateway.m_strUpBits.reset();
        gateway.m_strDownBits.reset();
      }
      gateway.SetTotals({4'200'000'000}, {3'780'000'000});
      gateway.m_nSentStep = 100'000;
      gateway.m_nReceivedStep = 1'000'000;
    });
    CRouterSource source(DescriptionUrl(), 1000);
    ASSERT_EQ(source.Start(), L"");
    std::vector<std::int64_t> rates;
    const auto read = [&] {
      const SourceReading reading = ReadNext(source);
      if (reading.m_kind == K::Sample) {
        rates.push_back(reading.m_sample.m_nRateDown);
        rates.push_back(reading.m_sample.m_nRateUp);
      }
      return reading.m_kind;
    };
    for (int i = 0; i < 3; ++i) {
      (void)read();
    }
    if (!c.bAnswersThroughout) {
      m_igd.Refuse();
      for (int i = 0; i < c.nOutageReadings; ++i) {
        EXPECT_EQ(read(), K::Failed) << c.name;
      }
    }
    Change([](FakeGateway& gateway) { gateway.SetTotals({5'000}, {20'000}); });
    if (!c.bAnswersThroughout) {
      ASSERT_TRUE(m_igd.Listen());
    }
    EXPECT_EQ(read(), K::Skip) << c.name << ": the reading after the reset";
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(read(), K::Sample) << c.name;
    }
    std::vector<std::int64_t> expected;
    for (int i = 0; i < 5; ++i) {
      expected.push_back(1'000'000);
      expected.push_back(100'000);
    }
    EXPECT_EQ(rates, expected) << c.name;
  }
}

// A line that syncs after the publisher started, or resyncs to another speed.
TEST_F(RouterRecovery, TheLinkIsLearntLateAndAgain) {
  struct Case {
    const char* name;
    std::optional<std::string> unknown;  // how the router says it does not know
  };
  const Case kCases[] = {{"link speed 0", "0"}, {"link speed left out", std::nullopt}};
  Serve();
  for (const Case& c : kCases) {
    Change([&c](FakeGateway& gateway) {
      gateway = FakeGateway();
      gateway.m_strUpBits = c.unknown;
      gateway.m_strDownBits = c.unknown;
    });
    CRouterSource source(DescriptionUrl(), 1000);
    ASSERT_EQ(source.Start(), L"");
    // The full scale of a reading at nNowMs, with a reading each minute
    // before it, as a publisher makes at its longest interval.
    std::uint64_t nLastMs = 0;
    const auto fullScale = [&](std::uint64_t nNowMs) {
      for (; nLastMs != 0 && nLastMs + 60'000 < nNowMs; nLastMs += 60'000) {
        EXPECT_EQ(source.Read(nLastMs + 60'000).m_kind, K::Sample) << c.name;
      }
      nLastMs = nNowMs;
      const SourceReading reading = source.Read(nNowMs);
      EXPECT_EQ(reading.m_kind, K::Sample) << c.name << " at " << nNowMs;
      return std::make_pair(reading.m_sample.m_nMaxDown, reading.m_sample.m_nMaxUp);
    };
    using Scale = std::pair<std::int64_t, std::int64_t>;
    constexpr std::uint64_t t0 = 1'000'000;
    EXPECT_EQ(fullScale(t0), Scale(0, 0)) << c.name;
    Change([](FakeGateway& gateway) {
      gateway.m_strDownBits = "100000000";
      gateway.m_strUpBits = "40000000";
    });
    // Not known: asked again a minute after it was last asked.
    EXPECT_EQ(fullScale(t0 + kLinkRetryMs - 1), Scale(0, 0)) << c.name;
    EXPECT_EQ(fullScale(t0 + kLinkRetryMs), Scale(kLinkDownBytes, kLinkUpBytes)) << c.name;
    const std::uint64_t t1 = t0 + kLinkRetryMs;
    Change([](FakeGateway& gateway) {
      gateway.m_strDownBits = "50000000";
      gateway.m_strUpBits = "10000000";
    });
    // Known: asked again every few minutes, and a resync changes the full scale.
    EXPECT_EQ(fullScale(t1 + kLinkRefreshMs - 1), Scale(kLinkDownBytes, kLinkUpBytes)) << c.name;
    EXPECT_EQ(fullScale(t1 + kLinkRefreshMs), Scale(6'250'000, 1'250'000)) << c.name;
    const std::uint64_t t2 = t1 + kLinkRefreshMs;
    // The line goes down: unknown again, and asked again each minute.
    Change([](FakeGateway& gateway) { gateway.m_strDownBits = "0"; });
    EXPECT_EQ(fullScale(t2 + kLinkRefreshMs), Scale(0, 1'250'000)) << c.name;
    Change([](FakeGateway& gateway) { gateway.m_strDownBits = "16000000"; });
    EXPECT_EQ(fullScale(t2 + kLinkRefreshMs + kLinkRetryMs - 1), Scale(0, 1'250'000)) << c.name;
    EXPECT_EQ(fullScale(t2 + kLinkRefreshMs + kLinkRetryMs), Scale(2'000'000, 1'250'000)) << c.name;
  }
}

// The router's own rates are held to its link as the totals are: a rate it
// cannot carry is not shown, and makes the link be asked again at once.
TEST_F(RouterRecovery, RouterRatesAboveTwiceTheLinkAreNotShown) {
  struct Case {
    const char* name;
    const char* pszReceive;
    const char* pszSend;
    K expected;
  };
  const Case kCases[] = {
      {"twice the link both ways", "25000000", "10000000", K::Sample},
      {"a byte more down", "25000001", "10000000", K::Skip},
      {"a byte more up", "25000000", "10000001", K::Skip},
      {"nothing at all is a rate of 0", "0", "0", K::Sample},
  };
  Serve();
  for (const Case& c : kCases) {
    Change([&c](FakeGateway& gateway) {
      gateway = FakeGateway();
      gateway.m_strReceiveRate = c.pszReceive;
      gateway.m_strSendRate = c.pszSend;
    });
    CRouterSource source(DescriptionUrl(), 1000);
    ASSERT_EQ(source.Start(), L"");
    const SourceReading reading = ReadNext(source);
    ASSERT_EQ(reading.m_kind, c.expected) << c.name << ": " << Narrow(reading.m_strError);
    if (c.expected == K::Sample) {
      EXPECT_EQ(reading.m_sample.m_nRateDown, std::stoll(c.pszReceive)) << c.name;
      EXPECT_EQ(reading.m_sample.m_nRateUp, std::stoll(c.pszSend)) << c.name;
      continue;
    }
    // The line resynced faster: asked again at once, the link explains the rate.
    Change([](FakeGateway& gateway) {
      gateway.m_strDownBits = "250000000";
      gateway.m_strUpBits = "100000000";
    });
    const SourceReading next = ReadNext(source);
    ASSERT_EQ(next.m_kind, K::Sample) << c.name << ": " << Narrow(next.m_strError);
    EXPECT_EQ(next.m_sample.m_nMaxDown, 31'250'000) << c.name;
  }
}

struct ProgramCase {
  const char* name;
  bool bAddon;
  bool bNewPaths;
};

class RouterRebootProgram : public FakeRouterTest,
                            public ::testing::WithParamInterface<ProgramCase> {};

// The real publisher, the fake router rebooting under it: No Data while it is
// away, its figures again by themselves once it answers, and never a rate
// that did not happen: the router's own rates, or for the totals no more
// than one step of the counters in the shortest interval (100 ms; a fifth
// more for a wait that ends a little early).
TEST_P(RouterRebootProgram, ShowsTheRouterAgainByItselfAndNoFalseRate) {
  const ProgramCase& c = GetParam();
  constexpr std::uint64_t kSentStep = 1000;
  constexpr std::uint64_t kReceivedStep = 20'000;
  m_gateway.m_bAddon = c.bAddon;
  m_gateway.m_strUpBits.reset();
  m_gateway.m_strDownBits.reset();
  m_gateway.SetTotals({4'200'000'000}, {3'500'000'000});
  m_gateway.m_nSentStep = kSentStep;
  m_gateway.m_nReceivedStep = kReceivedStep;
  Serve();
  const std::wstring strName = UniqueSectionName(L"ExeRouterReboot");
  CChildProcess child;
  ASSERT_TRUE(child.Start(L"--section-name \"" + strName + L"\" --source router --router " +
                          DescriptionUrl() + L" --interval 100"));

  std::vector<SharedTrafficRecord> seen;
  // Watches the section until pred holds of a new record, or dwMs pass.
  const auto watchFor = [&](auto pred, DWORD dwMs) {
    const ULONGLONG nEnd = GetTickCount64() + dwMs;
    while (GetTickCount64() < nEnd) {
      const auto record = ReadSection(strName);
      if (record && record->Sequence != 0 &&
          (seen.empty() || seen.back().Sequence != record->Sequence)) {
        seen.push_back(*record);
        if (pred(*record)) {
          return true;
        }
      }
      Sleep(10);
    }
    return false;
  };
  const auto hasRates = [](const SharedTrafficRecord& record) { return record.RateDown >= 0; };
  const auto noData = [](const SharedTrafficRecord& record) { return record.RateDown < 0; };
  ASSERT_TRUE(watchFor(hasRates, 20'000)) << "no rates at first";

  m_igd.Refuse();
  ASSERT_TRUE(watchFor(noData, 20'000)) << "no No Data while the router is away";
  (void)watchFor([](const SharedTrafficRecord&) { return false; }, 3000);
  Change([&c](FakeGateway& gateway) {
    if (c.bNewPaths) {
      gateway.Describe("/rebooted/ctl");
    }
    gateway.SetTotals({5'000}, {10'000});
  });
  ASSERT_TRUE(m_igd.Listen());
  const ULONGLONG nBack = GetTickCount64();
  EXPECT_TRUE(watchFor(hasRates, 45'000)) << "not shown again after the router came back";
  const ULONGLONG nShownAfter = GetTickCount64() - nBack;
  (void)watchFor([](const SharedTrafficRecord&) { return false; }, 1500);

  EXPECT_EQ(RunPublisher(L"--section-name \"" + strName + L"\" --stop", 10000).m_dwExitCode, 0u);
  const ChildResult result = child.Finish(10000);
  EXPECT_TRUE(result.m_bExited);
  std::printf("[ reboot ] %s: shown again %llu ms after the router answered\n", c.name,
              static_cast<unsigned long long>(nShownAfter));
  for (const SharedTrafficRecord& record : seen) {
    if (record.RateDown < 0) {
      EXPECT_EQ(record.RateUp, -1);
      continue;
    }
    if (c.bAddon) {
      EXPECT_EQ(record.RateDown, 1'234'567);
      EXPECT_EQ(record.RateUp, 89'012);
    } else {
      EXPECT_LE(record.RateDown, static_cast<std::int64_t>(kReceivedStep * 12));
      EXPECT_LE(record.RateUp, static_cast<std::int64_t>(kSentStep * 12));
    }
  }
}

const ProgramCase kProgramCases[] = {
    {"RatesSamePaths", true, false},
    {"RatesNewPaths", true, true},
    {"TotalsResetSamePaths", false, false},
    {"TotalsResetNewPaths", false, true},
};

INSTANTIATE_TEST_SUITE_P(Reboots, RouterRebootProgram, ::testing::ValuesIn(kProgramCases),
                         [](const ::testing::TestParamInfo<ProgramCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
