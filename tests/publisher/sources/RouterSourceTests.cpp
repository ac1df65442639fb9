// Winsock's headers (through the fake gateway) must come before <windows.h>.
#include "support/FakeRouterTest.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "publisher/sources/RouterSource.h"
#include "support/ChildProcess.h"
#include "support/SectionReader.h"

namespace {

using RouterSource = FakeRouterTest;

TEST_F(RouterSource, AddonRatesAndLinkFullScaleFromAHostRelativeControlUrl) {
  Serve();
  CRouterSource source(DescriptionUrl(), 2000);
  ASSERT_EQ(source.Start(), L"");
  EXPECT_EQ(source.ControlUrl(), m_igd.Url("/upnp/control/wancic"));
  const SourceReading reading = source.Read(1000);
  ASSERT_EQ(reading.m_kind, SourceReading::Kind::Sample) << Narrow(reading.m_strError);
  EXPECT_EQ(reading.m_sample.m_nRateDown, 1'234'567);
  EXPECT_EQ(reading.m_sample.m_nRateUp, 89'012);
  EXPECT_EQ(reading.m_sample.m_nMaxDown, kLinkDownBytes);
  EXPECT_EQ(reading.m_sample.m_nMaxUp, kLinkUpBytes);

  const std::vector<FakeRequest> requests = m_igd.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(Actions(), (std::vector<std::string>{"GET /igddesc.xml", "GetCommonLinkProperties",
                                                 "GetAddonInfos"}));
  EXPECT_EQ(requests[2].m_strMethod, "POST");
  EXPECT_EQ(requests[2].m_strSoapAction,
            "\"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1#GetAddonInfos\"");
  EXPECT_NE(
      requests[2].m_strBody.find(
          "<u:GetAddonInfos xmlns:u=\"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1\">"),
      std::string::npos);
}

TEST_F(RouterSource, ControlUrlMayBeRelativeBaseRelativeOrAbsolute) {
  Serve();
  struct Case {
    std::string control;
    std::string base;  // empty: no URLBase
    std::string path;  // where the actions must arrive
  };
  const std::string origin = "http://127.0.0.1:" + PortText();
  const Case kCases[] = {
      {"upnp/control/wancic", "", "/upnp/control/wancic"},
      {"ctl/common", origin + "/base/", "/base/ctl/common"},
      {"/root/ctl", origin + "/base/", "/root/ctl"},
      {origin + "/absolute/ctl", "", "/absolute/ctl"},
      {origin + "/absolute/ctl2", "http://192.0.2.1:1/ignored/", "/absolute/ctl2"},
  };
  for (const Case& c : kCases) {
    m_gateway.m_strDescription =
        IgdDescriptionXml(c.control.c_str(), c.base.empty() ? nullptr : c.base.c_str());
    m_gateway.m_strControlPath = c.path;
    CRouterSource source(DescriptionUrl(), 2000);
    ASSERT_EQ(source.Start(), L"") << c.control;
    EXPECT_EQ(source.ControlUrl(), std::wstring(origin.begin(), origin.end()) +
                                       std::wstring(c.path.begin(), c.path.end()));
    EXPECT_EQ(source.Read(1000).m_kind, SourceReading::Kind::Sample) << c.control;
  }
}

TEST_F(RouterSource, StartRefusesAControlUrlOrUrlBaseOnAnotherHostOrScheme) {
  Serve();
  struct Case {
    std::string control;
    std::string base;  // empty: no URL base
    std::string refused;
    const char* what;
    const char* why;
  };
  // localhost is this very fake under another name: a request that got out would show.
  const std::string elsewhere = "http://localhost:" + PortText();
  const char* kElsewhere = "; refused: requests go only to the host the description came from";
  const Case kCases[] = {
      {elsewhere + "/upnp/control/wancic", "", elsewhere + "/upnp/control/wancic",
       " for its actions", kElsewhere},
      {"//localhost:" + PortText() + "/upnp/control/wancic", "", elsewhere + "/upnp/control/wancic",
       " for its actions", kElsewhere},
      {"upnp/control/wancic", elsewhere + "/", elsewhere + "/", " as its URL base", kElsewhere},
      {"https://127.0.0.1:" + PortText() + "/upnp/control/wancic", "",
       "https://127.0.0.1:" + PortText() + "/upnp/control/wancic", " for its actions",
       "; refused: only http:// addresses are asked"},
  };
  for (const Case& c : kCases) {
    m_gateway.m_strDescription =
        IgdDescriptionXml(c.control.c_str(), c.base.empty() ? nullptr : c.base.c_str());
    CRouterSource source(DescriptionUrl(), 2000);
    EXPECT_EQ(Narrow(source.Start()), "the router's description at " + Narrow(DescriptionUrl()) +
                                          " names " + c.refused + c.what + c.why);
  }
  for (const FakeRequest& request : m_igd.Requests()) {
    EXPECT_EQ(request.m_strMethod, "GET") << request.m_strPath;
  }
}

// With no link speed to hold them to, the router's rates are taken as it gives them.
TEST_F(RouterSource, RatesAtOrAbove2To63ClampInsteadOfShrinking) {
  m_gateway.m_overrides = {
      {"GetAddonInfos",
       {200, SoapAnswer("GetAddonInfos", {{"NewByteSendRate", "18446744073709551621"},
                                          {"NewByteReceiveRate", "9223372036854775813"}})}}};
  m_gateway.m_strUpBits.reset();
  m_gateway.m_strDownBits.reset();
  Serve();
  CRouterSource source(DescriptionUrl(), 2000);
  ASSERT_EQ(source.Start(), L"");
  const SourceReading reading = source.Read(1000);
  ASSERT_EQ(reading.m_kind, SourceReading::Kind::Sample) << Narrow(reading.m_strError);
  EXPECT_EQ(reading.m_sample.m_nRateDown, INT64_MAX);
  EXPECT_EQ(reading.m_sample.m_nRateUp, INT64_MAX);
}

TEST_F(RouterSource, WithoutGetAddonInfosRatesComeFromTheTotals) {
  m_gateway.m_bAddon = false;
  m_gateway.m_sent = {1000, 3000, 6000};
  m_gateway.m_received = {10'000, 30'000, 70'000};
  Serve();
  CRouterSource source(DescriptionUrl(), 2000);
  ASSERT_EQ(source.Start(), L"");
  EXPECT_EQ(source.Read(1000).m_kind, SourceReading::Kind::Skip);
  SourceReading reading = source.Read(2000);
  ASSERT_EQ(reading.m_kind, SourceReading::Kind::Sample) << Narrow(reading.m_strError);
  EXPECT_EQ(reading.m_sample.m_nRateDown, 20'000);
  EXPECT_EQ(reading.m_sample.m_nRateUp, 2'000);
  EXPECT_EQ(reading.m_sample.m_nMaxDown, kLinkDownBytes);
  reading = source.Read(2500);
  ASSERT_EQ(reading.m_kind, SourceReading::Kind::Sample);
  EXPECT_EQ(reading.m_sample.m_nRateDown, 80'000);
  EXPECT_EQ(reading.m_sample.m_nRateUp, 6'000);

  int nAddonCalls = 0;
  for (const std::string& action : Actions()) nAddonCalls += action == "GetAddonInfos";
  EXPECT_EQ(nAddonCalls, 1) << "an absent GetAddonInfos is asked for once only";
}

TEST_F(RouterSource, CountersThatWrapWidenOrRestartGiveNoSpike) {
  struct Case {
    const char* name;
    std::vector<std::uint64_t> received;
    std::vector<SourceReading::Kind> kinds;
    std::vector<std::int64_t> rates;  // for each Sample, in order
  };
  using K = SourceReading::Kind;
  const Case kCases[] = {
      {"32-bit wrap",
       {4'294'960'000, 3'000, 13'000},
       {K::Skip, K::Sample, K::Sample},
       {10'296, 10'000}},
      {"wider than 32 bits",
       {5'000'000'000, 5'000'100'000, 5'000'300'000},
       {K::Skip, K::Sample, K::Sample},
       {100'000, 200'000}},
      {"restart of a wide counter",
       {5'000'000'000, 1'000, 3'000},
       {K::Skip, K::Skip, K::Sample},
       {2'000}},
      {"restart of a 32-bit counter far below the top",
       {2'000'000'000, 1'000, 1'500},
       {K::Skip, K::Skip, K::Sample},
       {500}},
      {"nothing counted is a rate of 0",
       {7'000, 7'000, 7'000},
       {K::Skip, K::Sample, K::Sample},
       {0, 0}},
  };
  m_gateway.m_bAddon = false;
  Serve();
  for (const Case& c : kCases) {
    m_gateway.m_received = c.received;
    m_gateway.m_nReceivedCalls = 0;
    CRouterSource source(DescriptionUrl(), 2000);
    ASSERT_EQ(source.Start(), L"");
    std::vector<std::int64_t> rates;
    for (std::size_t i = 0; i < c.kinds.size(); ++i) {
      const SourceReading reading = source.Read(1000 * (i + 1));
      EXPECT_EQ(reading.m_kind, c.kinds[i])
          << c.name << ", read " << i << ": " << Narrow(reading.m_strError);
      if (reading.m_kind == K::Sample) rates.push_back(reading.m_sample.m_nRateDown);
    }
    EXPECT_EQ(rates, c.rates) << c.name;
  }
}

TEST_F(RouterSource, FailingActionsGiveNoDataWithALineSayingWhat) {
  struct Case {
    const char* action;
    int nStatus;
    std::string body;
    bool bAddon;
    const wchar_t* expected;
  };
  const Case kCases[] = {
      {"GetTotalBytesSent", 500, "", false, L"router: GetTotalBytesSent answered HTTP 500"},
      {"GetTotalBytesReceived", 500, SoapFault(501, "Action Failed"), false,
       L"router: GetTotalBytesReceived failed with UPnP error 501 (Action Failed)"},
      {"GetAddonInfos", 200,
       "<s:Envelope><s:Body><NewByteSendRate>5</NewByteReceiveRate></s:Body></s:Envelope>", true,
       L"router: GetAddonInfos answer is not valid XML"},
      {"GetAddonInfos", 200, "NewByteSendRate=5", true,
       L"router: GetAddonInfos answer is not valid XML"},
      {"GetAddonInfos", 200, "<a><b></a>", true, L"router: GetAddonInfos answer is not valid XML"},
      {"GetTotalBytesSent", 200, SoapAnswer("GetTotalBytesSent", {{"NewTotalBytesSent", "lots"}}),
       false, L"router: the byte totals are missing from its answer"},
  };
  Serve();
  for (const Case& c : kCases) {
    FakeResponse response;
    response.m_nStatus = c.nStatus;
    response.m_strBody = c.body;
    m_gateway.m_overrides = {{c.action, response}};
    m_gateway.m_bAddon = c.bAddon;
    CRouterSource source(DescriptionUrl(), 2000);
    ASSERT_EQ(source.Start(), L"");
    const SourceReading reading = source.Read(1000);
    EXPECT_EQ(reading.m_kind, SourceReading::Kind::Failed) << Narrow(c.expected);
    EXPECT_EQ(reading.m_strError, c.expected);
    EXPECT_EQ(reading.m_sample.m_nRateDown, -1);
    EXPECT_EQ(reading.m_sample.m_nRateUp, -1);
  }
}

TEST_F(RouterSource, ARouterThatDoesNotAnswerTimesOut) {
  m_gateway.m_overrides = {{"GetAddonInfos", {200, "", true}}};
  Serve();
  CRouterSource source(DescriptionUrl(), 500);
  ASSERT_EQ(source.Start(), L"");
  const ULONGLONG nStart = GetTickCount64();
  const SourceReading reading = source.Read(1000);
  const ULONGLONG nElapsed = GetTickCount64() - nStart;
  EXPECT_EQ(reading.m_kind, SourceReading::Kind::Failed);
  EXPECT_EQ(reading.m_strError, L"router: GetAddonInfos timed out");
  EXPECT_GE(nElapsed, 400u);
  EXPECT_LT(nElapsed, 2500u);
}

// The whole answer one byte every 200 ms: far longer than the deadline.
FakeResponse Dripping(bool bBodyOnly) {
  FakeResponse response{200, SoapAnswer("GetAddonInfos", {{"NewByteSendRate", "89012"},
                                                          {"NewByteReceiveRate", "1234567"}})};
  response.m_dwDripMs = 200;
  response.m_bDripBodyOnly = bBodyOnly;
  return response;
}

// Whether the headers or only the body trickle in, the deadline ends the exchange.
class DripFeedingRouterSource : public RouterSource, public ::testing::WithParamInterface<bool> {};

TEST_P(DripFeedingRouterSource, FailsTheReadingByTheDeadline) {
  m_gateway.m_overrides = {{"GetAddonInfos", Dripping(GetParam())}};
  Serve();
  CRouterSource source(DescriptionUrl(), 2000);
  ASSERT_EQ(source.Start(), L"");
  const ULONGLONG nStart = GetTickCount64();
  const SourceReading reading = source.Read(1000);
  const ULONGLONG nElapsed = GetTickCount64() - nStart;
  EXPECT_EQ(reading.m_kind, SourceReading::Kind::Failed);
  EXPECT_EQ(reading.m_strError, L"router: GetAddonInfos timed out");
  EXPECT_GE(nElapsed, 1800u);
  EXPECT_LT(nElapsed, 15'000u);
}

INSTANTIATE_TEST_SUITE_P(HeadersOrBody, DripFeedingRouterSource, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("BodyOnly") : std::string("Headers");
                         });

DWORD WINAPI SetAfter300Ms(void* hEvent) {
  Sleep(300);
  SetEvent(static_cast<HANDLE>(hEvent));
  return 0;
}

TEST_F(RouterSource, TheCancelEventEndsAnExchangeUnderWay) {
  m_gateway.m_overrides = {{"GetAddonInfos", Dripping(false)}};
  Serve();
  const CUniqueHandle hCancel(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  CRouterSource source(DescriptionUrl(), 60'000, hCancel.Get());
  ASSERT_EQ(source.Start(), L"");
  const CUniqueHandle hThread(CreateThread(nullptr, 0, SetAfter300Ms, hCancel.Get(), 0, nullptr));
  const ULONGLONG nStart = GetTickCount64();
  const SourceReading reading = source.Read(1000);
  const ULONGLONG nElapsed = GetTickCount64() - nStart;
  EXPECT_EQ(reading.m_kind, SourceReading::Kind::Failed);
  EXPECT_EQ(reading.m_strError, L"router: GetAddonInfos stopped");
  EXPECT_LT(nElapsed, 5000u);
  WaitForSingleObject(hThread.Get(), INFINITE);
}

TEST_F(RouterSource, RedirectsAreNotFollowedAndSaySo) {
  Serve();
  const std::string real = "http://127.0.0.1:" + PortText() + "/real.xml";
  const std::string elsewhere = "http://localhost:" + PortText() + "/upnp/control/wancic";
  FakeResponse moved{302, ""};
  moved.m_headers = {{"Location", real}};
  m_gateway.m_overrides = {{"GET /igddesc.xml", moved},
                           {"GET /real.xml", {200, m_gateway.m_strDescription}}};
  CRouterSource redirected(DescriptionUrl(), 2000);
  EXPECT_EQ(Narrow(redirected.Start()),
            "the router at " + Narrow(DescriptionUrl()) + " answered HTTP 302, a redirect to " +
                real +
                ", to the description request; redirects are not followed: give the description's "
                "own address with --router");
  EXPECT_EQ(Actions(), (std::vector<std::string>{"GET /igddesc.xml"}));

  FakeResponse temporary{307, ""};
  temporary.m_headers = {{"Location", elsewhere}};
  m_gateway.m_overrides = {{"GetAddonInfos", temporary}};
  CRouterSource source(DescriptionUrl(), 2000);
  ASSERT_EQ(source.Start(), L"");
  const SourceReading reading = source.Read(1000);
  EXPECT_EQ(reading.m_kind, SourceReading::Kind::Failed);
  EXPECT_EQ(Narrow(reading.m_strError), "router: GetAddonInfos answered HTTP 307, a redirect to " +
                                            elsewhere + ", which is not followed");
  int nAddonCalls = 0;
  for (const std::string& action : Actions()) nAddonCalls += action == "GetAddonInfos";
  EXPECT_EQ(nAddonCalls, 1);
}

TEST_F(RouterSource, StartRefusesWhatIsNotAUsableGatewayAndSaysWhatToDo) {
  struct Case {
    const char* name;
    std::string description;
    int nStatus;
    std::wstring expectedStart;
    std::wstring expectedEnd;
  };
  const Case kCases[] = {
      {"malformed description", "<?xml version=\"1.0\"?><root><device><serviceList>", 200,
       L"the router's description at ",
       L" is not valid XML; check that --router names the UPnP device description"},
      {"not XML at all", "{\"json\": true}", 200, L"the router's description at ",
       L" is not valid XML; check that --router names the UPnP device description"},
      {"no counters service",
       "<root><device><serviceList><service><serviceType>urn:schemas-upnp-org:service:"
       "WANIPConnection:1</serviceType><controlURL>/x</controlURL></service></serviceList></"
       "device></root>",
       200, L"the router's description at ",
       L" has no WANCommonInterfaceConfig service; turn on UPnP status information in the router, "
       L"or use --source adapter"},
      {"description missing", "", 404, L"the router at ",
       L" answered HTTP 404 to the description request; check the --router URL"},
  };
  Serve();
  for (const Case& c : kCases) {
    m_gateway.m_strDescription = c.description;
    m_gateway.m_nDescriptionStatus = c.nStatus;
    CRouterSource source(DescriptionUrl(), 2000);
    EXPECT_EQ(source.Start(), c.expectedStart + DescriptionUrl() + c.expectedEnd) << c.name;
  }
}

TEST(RouterSourceUnreachable, StartSaysTheRouterCannotBeReached) {
  CFakeIgd closed;
  ASSERT_TRUE(closed.Start([](const FakeRequest&) { return FakeResponse{}; }));
  const std::wstring strUrl = closed.Url("/igddesc.xml");
  closed.Stop();
  CRouterSource source(strUrl, 1000);
  EXPECT_EQ(source.Start(),
            L"cannot reach the router at " + strUrl +
                L" (cannot connect); check the address and that UPnP is turned on in the router");
}

TEST_F(RouterSource, ProgramPublishesTheRoutersRates) {
  Serve();
  const std::wstring strName = UniqueSectionName(L"ExeRouter");
  const ChildResult result =
      RunPublisher(L"--section-name \"" + strName + L"\" --source router --router " +
                       DescriptionUrl() + L" --once --bits",
                   20000);
  ASSERT_TRUE(result.m_bExited);
  EXPECT_EQ(result.m_dwExitCode, 0u) << result.m_strErr;
  EXPECT_NE(result.m_strOut.find(" down=1234567 up=89012 max-down=12500000 max-up=5000000 "),
            std::string::npos)
      << result.m_strOut;
  EXPECT_NE(result.m_strOut.find("units=bits"), std::string::npos);
}

TEST_F(RouterSource, ProgramPrintsTheRoutersWordsInOneLineWithoutControlCharacters) {
  const std::string description =
      "Action\x1b[2J Failed\x07\r\nnimbrel-publisher: all is well " + std::string(2000, 'x');
  m_gateway.m_overrides = {{"GetAddonInfos", {500, SoapFault(501, description.c_str())}}};
  Serve();
  const ChildResult result =
      RunPublisher(L"--section-name \"" + UniqueSectionName(L"ExeRouterText") +
                       L"\" --source router --router " + DescriptionUrl() + L" --once",
                   20000);
  ASSERT_TRUE(result.m_bExited);
  EXPECT_EQ(result.m_dwExitCode, 1u);
  // XML reads the line break as one LF.
  const std::string words = "Action?[2J Failed??nimbrel-publisher: all is well ";
  EXPECT_EQ(result.m_strErr,
            "nimbrel-publisher: router: GetAddonInfos failed with UPnP error 501 (" + words +
                std::string(197 - words.size(), 'x') + "...)\r\n");
}

TEST_F(RouterSource, ProgramRunOnceRefusesAMalformedRouterWithExitCodeThree) {
  m_gateway.m_strDescription = "<root><device>";
  Serve();
  const std::wstring strName = UniqueSectionName(L"ExeRouterBad");
  const ChildResult result = RunPublisher(
      L"--section-name \"" + strName + L"\" --once --source router --router " + DescriptionUrl(),
      20000);
  ASSERT_TRUE(result.m_bExited);
  EXPECT_EQ(result.m_dwExitCode, 3u);
  EXPECT_EQ(result.m_strErr,
            "nimbrel-publisher: the router's description at " + Narrow(DescriptionUrl()) +
                " is not valid XML; check that --router names the UPnP device description\r\n");
  EXPECT_FALSE(ReadSection(strName));
}

// An idle line is a rate of 0, which the band shows as a figure; only a
// failure is "No Data".
TEST_F(RouterSource, ProgramPublishesAnIdleLineAsZeroNotNoData) {
  m_gateway.m_strSendRate = "0";
  m_gateway.m_strReceiveRate = "0";
  Serve();
  const std::wstring strName = UniqueSectionName(L"ExeRouterIdle");
  CChildProcess child;
  ASSERT_TRUE(child.Start(L"--section-name \"" + strName + L"\" --source router --router " +
                          DescriptionUrl() + L" --interval 100"));
  std::optional<SharedTrafficRecord> record;
  for (int i = 0; i < 200 && !(record && record->Sequence != 0); ++i) {
    Sleep(50);
    record = ReadSection(strName);
  }
  ASSERT_TRUE(record && record->Sequence != 0);
  EXPECT_EQ(record->RateDown, 0);
  EXPECT_EQ(record->RateUp, 0);
  TrafficState state;
  EXPECT_TRUE(PollLikeTheBand(strName, state));
  EXPECT_EQ(state.m_nRateLower, 0);
  EXPECT_EQ(state.m_nRateUpper, 0);
  EXPECT_EQ(RunPublisher(L"--section-name \"" + strName + L"\" --stop", 10000).m_dwExitCode, 0u);
  EXPECT_TRUE(child.Finish(10000).m_bExited);
}

TEST_F(RouterSource, ProgramShowsNoDataAndRetriesWhileTheRouterFails) {
  m_gateway.m_bAddon = false;
  m_gateway.m_overrides = {{"GetTotalBytesSent", {500, ""}}};
  Serve();
  const std::wstring strName = UniqueSectionName(L"ExeRouterFail");
  CChildProcess child;
  ASSERT_TRUE(child.Start(L"--section-name \"" + strName + L"\" --source router --router " +
                          DescriptionUrl() + L" --interval 100"));
  std::optional<SharedTrafficRecord> record;
  for (int i = 0; i < 100 && !(record && record->Sequence != 0); ++i) {
    Sleep(50);
    record = ReadSection(strName);
  }
  ASSERT_TRUE(record && record->Sequence != 0);
  EXPECT_EQ(record->RateDown, -1);
  EXPECT_EQ(record->RateUp, -1);
  TrafficState state;
  EXPECT_TRUE(PollLikeTheBand(strName, state));
  EXPECT_EQ(state.m_nRateLower, -1);
  EXPECT_EQ(state.m_nRateUpper, -1);

  EXPECT_EQ(RunPublisher(L"--section-name \"" + strName + L"\" --stop", 10000).m_dwExitCode, 0u);
  const ChildResult result = child.Finish(10000);
  EXPECT_TRUE(result.m_bExited);
  EXPECT_EQ(result.m_strErr.rfind("nimbrel-publisher: router: GetTotalBytesSent answered HTTP 500; "
                                  "showing No Data and retrying in ",
                                  0),
            0u)
      << result.m_strErr;
}

}  // namespace
