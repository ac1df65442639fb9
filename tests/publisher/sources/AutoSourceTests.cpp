// The automatic source against the fake gateway on 127.0.0.1: the router
// when it answers, this PC's adapters when it does not, and the switches
// between them as the router comes and goes. Discovery is pointed at the
// fake's own SSDP port, never at the multicast group.

// Winsock's headers (through the fake gateway) must come before <windows.h>.
#include "support/FakeRouterTest.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "publisher/sources/AutoSource.h"
#include "support/ChildProcess.h"
#include "support/RecordingSink.h"
#include "support/SectionReader.h"

namespace {

using K = SourceReading::Kind;

constexpr std::uint64_t kPeriodMs = 300'000;

class AutoSource : public FakeRouterTest {
 protected:
  AutoSourceSettings Settings(std::wstring strRouter) const {
    AutoSourceSettings settings;
    settings.m_strRouter = std::move(strRouter);
    settings.m_dwDeadlineMs = 2000;
    settings.m_ssdp = {kLoopbackIpv4, static_cast<std::uint16_t>(m_igd.SsdpPort())};
    settings.m_nSearchPeriodMs = kPeriodMs;
    return settings;
  }
  // The first sample within a few readings a second apart.
  SourceReading SampleWithin(CAutoSource& source, int nMost = 3) {
    SourceReading reading;
    for (int i = 0; i < nMost; ++i) {
      m_nNowMs += 1000;
      reading = source.Read(m_nNowMs);
      if (reading.m_kind == K::Sample) break;
    }
    return reading;
  }
  std::vector<std::wstring> Lines() const {
    std::vector<std::wstring> lines;
    for (const RecordedLine& line : m_sink.m_lines) lines.push_back(line.m_text);
    return lines;
  }
  static bool IsRouterSample(const SourceReading& reading) {
    return reading.m_kind == K::Sample && reading.m_sample.m_nRateDown == 1'234'567 &&
           reading.m_sample.m_nRateUp == 89'012;
  }

  CRecordingSink m_sink;
  std::uint64_t m_nNowMs = 1'000'000;
};

TEST_F(AutoSource, ARouterFoundByDiscoveryOrAtItsAddressIsShownAndSaidSo) {
  Serve();
  for (const std::wstring& strRouter : {std::wstring(L"auto"), DescriptionUrl()}) {
    m_sink.m_lines.clear();
    CAutoSource source(Settings(strRouter), m_sink);
    ASSERT_EQ(source.Start(), L"");
    EXPECT_TRUE(source.OnRouter());
    EXPECT_EQ(Lines(),
              std::vector<std::wstring>{L"nimbrel-publisher: showing the router's figures (" +
                                        DescriptionUrl() + L")"});
    EXPECT_TRUE(IsRouterSample(SampleWithin(source))) << Narrow(strRouter);
  }
  EXPECT_FALSE(m_igd.SsdpSearches().empty());
}

TEST_F(AutoSource, WithoutARouterTheAdaptersServeUntilTheRouterAnswersAtTheNextSearch) {
  Serve();
  m_igd.Refuse();
  CAutoSource source(Settings(DescriptionUrl()), m_sink);
  ASSERT_EQ(source.Start(), L"");
  EXPECT_FALSE(source.OnRouter());
  ASSERT_EQ(m_sink.m_lines.size(), 1u);
  EXPECT_EQ(m_sink.m_lines[0].m_text.rfind(
                L"nimbrel-publisher: showing this PC's own traffic: no router answered (cannot "
                L"reach the router at " +
                    DescriptionUrl(),
                0),
            0u)
      << Narrow(m_sink.m_lines[0].m_text);
  EXPECT_NE(m_sink.m_lines[0].m_text.find(L"; looking for it again every 5 minutes"),
            std::wstring::npos);

  // The adapters' figures (a baseline first), not No Data.
  const SourceReading adapters = SampleWithin(source);
  EXPECT_EQ(adapters.m_kind, K::Sample) << Narrow(adapters.m_strError);
  EXPECT_FALSE(IsRouterSample(adapters));

  // The router is back, but is not asked before the period is over.
  ASSERT_TRUE(m_igd.Listen());
  const std::size_t nRequests = m_igd.Requests().size();
  m_nNowMs += kPeriodMs / 2;
  EXPECT_NE(source.Read(m_nNowMs).m_kind, K::Failed);
  EXPECT_FALSE(source.OnRouter());
  EXPECT_EQ(m_igd.Requests().size(), nRequests);

  m_nNowMs += kPeriodMs / 2;
  (void)source.Read(m_nNowMs);
  EXPECT_TRUE(source.OnRouter());
  ASSERT_EQ(m_sink.m_lines.size(), 2u);
  EXPECT_EQ(
      m_sink.m_lines[1].m_text,
      L"nimbrel-publisher: a router answers; showing its figures now (" + DescriptionUrl() + L")");
  EXPECT_TRUE(IsRouterSample(SampleWithin(source)));
  EXPECT_EQ(m_sink.m_lines.size(), 2u) << "one line per switch";
}

TEST_F(AutoSource, ARouterGoneForMinutesIsLeftForTheAdaptersAndTakenBackWhenItAnswers) {
  Serve();
  CAutoSource source(Settings(DescriptionUrl()), m_sink);
  ASSERT_EQ(source.Start(), L"");
  ASSERT_TRUE(IsRouterSample(SampleWithin(source)));

  m_igd.Refuse();
  // A reboot's worth of failures is No Data from the router, not a change of source.
  for (int i = 0; i < 170; ++i) {
    m_nNowMs += 1000;
    EXPECT_EQ(source.Read(m_nNowMs).m_kind, K::Failed) << i;
  }
  EXPECT_TRUE(source.OnRouter());
  SourceReading reading;
  for (int i = 0; i < 20 && source.OnRouter(); ++i) {
    m_nNowMs += 1000;
    reading = source.Read(m_nNowMs);
  }
  EXPECT_FALSE(source.OnRouter());
  EXPECT_NE(reading.m_kind, K::Failed) << Narrow(reading.m_strError);
  ASSERT_EQ(m_sink.m_lines.size(), 2u);
  EXPECT_EQ(m_sink.m_lines[1].m_text,
            L"nimbrel-publisher: the router has not answered for 3 minutes; showing this PC's own "
            L"traffic until it does");

  ASSERT_TRUE(m_igd.Listen());
  m_nNowMs += kPeriodMs;
  (void)source.Read(m_nNowMs);
  EXPECT_TRUE(source.OnRouter());
  EXPECT_TRUE(IsRouterSample(SampleWithin(source)));
  EXPECT_EQ(m_sink.m_lines.size(), 3u);
}

// The program without --source: its first line says where the figures come
// from, and they are the router's.
TEST_F(AutoSource, TheProgramWithoutASourceShowsTheRouterAndSaysSoFirst) {
  Serve();
  const std::wstring strName = UniqueSectionName(L"ExeAuto");
  const ChildResult result = RunPublisher(
      L"--section-name \"" + strName + L"\" --router " + DescriptionUrl() + L" --once", 20000);
  ASSERT_TRUE(result.m_bExited);
  EXPECT_EQ(result.m_dwExitCode, 0u) << result.m_strErr;
  EXPECT_EQ(result.m_strOut.rfind("nimbrel-publisher: showing the router's figures (" +
                                      Narrow(DescriptionUrl()) + ")\r\n",
                                  0),
            0u)
      << result.m_strOut;
  EXPECT_NE(result.m_strOut.find(" down=1234567 up=89012 "), std::string::npos) << result.m_strOut;
}

}  // namespace
