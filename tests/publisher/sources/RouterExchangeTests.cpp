// Winsock's headers (through the fake gateway) must come before <windows.h>.
#include "support/FakeRouterTest.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "publisher/upnp/HttpClient.h"
#include "publisher/sources/RouterSource.h"
#include "publisher/upnp/SoapText.h"
#include "support/TestSupport.h"

namespace {

// How an exchange with the router ends.
enum class ExchangeEnd { Rates, Totals, Fault, Refused, Deadline, Cancel };

struct PathCase {
  ExchangeEnd end;
  const char* name;
  int nExchanges;
};

constexpr PathCase kPaths[] = {
    {ExchangeEnd::Rates, "RatesAnswered", 3000},
    {ExchangeEnd::Totals, "TotalsAnswered", 1500},
    {ExchangeEnd::Fault, "UpnpFault", 2000},
    {ExchangeEnd::Refused, "ConnectionRefused", 2000},
    {ExchangeEnd::Deadline, "DeadlinePassed", 300},
    {ExchangeEnd::Cancel, "Cancelled", 300},
};

const std::wstring kService = L"urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1";

// A publisher runs for weeks at up to ten readings a second: whatever an
// exchange takes (its WinHTTP handles, what it shares with their callbacks,
// the answer and what reads it) is given back however it ends.
class RouterExchanges : public FakeRouterTest, public ::testing::WithParamInterface<PathCase> {
 protected:
  void SetUp() override {
    m_hCancel.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(m_hCancel);
  }

  // One exchange (or one reading) of the case's kind; false when it did not
  // end the way the case means.
  std::function<bool(int)> Prepare(ExchangeEnd end) {
    switch (end) {
      case ExchangeEnd::Rates:
      case ExchangeEnd::Totals:
      case ExchangeEnd::Fault:
      case ExchangeEnd::Refused:
        return PrepareSource(end);
      case ExchangeEnd::Deadline:
        m_gateway.m_overrides = {{"GetAddonInfos", {200, "", true}}};
        Serve();
        m_pHttp = std::make_unique<CHttpClient>(10);
        return [this](int) { return Post().m_dwError == ERROR_WINHTTP_TIMEOUT; };
      case ExchangeEnd::Cancel:
        // The router would answer; the exchange is given up under way.
        Serve();
        SetEvent(m_hCancel.Get());
        m_pHttp = std::make_unique<CHttpClient>(5000, m_hCancel.Get());
        // Paced, so that Wine's thread per given-up exchange (see below)
        // is mostly one it had already.
        return [this](int) {
          Sleep(5);
          return Post().m_dwError == ERROR_OPERATION_ABORTED;
        };
    }
    return {};
  }

  std::function<bool(int)> PrepareSource(ExchangeEnd end) {
    m_gateway.m_bAddon = end != ExchangeEnd::Totals;
    m_gateway.m_nSentStep = 1000;
    m_gateway.m_nReceivedStep = 5000;
    Serve();
    m_pSource = std::make_unique<CRouterSource>(DescriptionUrl(), 2000);
    if (m_pSource->Start() != L"") {
      return {};
    }
    SourceReading::Kind expected = SourceReading::Kind::Sample;
    if (end == ExchangeEnd::Fault) {
      Change([](FakeGateway& gateway) {
        gateway.m_overrides = {{"GetAddonInfos", {500, SoapFault(501, "Action Failed")}}};
      });
      expected = SourceReading::Kind::Failed;
    }
    if (end == ExchangeEnd::Refused) {
      m_igd.Refuse();
      expected = SourceReading::Kind::Failed;
    }
    (void)m_pSource->Read(1000);
    return [this, expected](int i) {
      return m_pSource->Read(2000 + 1000 * static_cast<std::uint64_t>(i)).m_kind == expected;
    };
  }

  HttpResult Post() {
    return m_pHttp->PostSoap(m_igd.Url("/upnp/control/wancic"),
                             SoapActionHeader(kService, L"GetAddonInfos"),
                             BuildSoapRequest(kService, L"GetAddonInfos"));
  }

  CUniqueHandle m_hCancel;
  std::unique_ptr<CRouterSource> m_pSource;
  std::unique_ptr<CHttpClient> m_pHttp;
};

// Wine's WinHTTP gives an exchange that is given up under way (deadline,
// cancel) a thread pool thread of its own, a few MB of stack, that stays
// until the pool lets idle threads go some seconds later; Windows' WinHTTP
// needs no thread per exchange. The counts are therefore taken once the
// pool has shrunk back (within 30 s), so that they show what stays.
ProcessCounts SettledCounts(DWORD nThreadsAtMost) {
  ProcessCounts counts = TakeProcessCounts();
  for (int i = 0; i < 60 && counts.m_nThreads > nThreadsAtMost; ++i) {
    Sleep(500);
    counts = TakeProcessCounts();
  }
  return counts;
}

TEST_P(RouterExchanges, LeaveMemoryAndHandlesFlat) {
  const PathCase& path = GetParam();
  // The test's own, the fake's, and one of WinHTTP's at most.
  const DWORD nThreadsAtRest = TakeProcessCounts().m_nThreads + 2;
  const std::function<bool(int)> exchange = Prepare(path.end);
  ASSERT_TRUE(exchange);
  // The fake's record of the requests would be the only thing growing.
  m_igd.SetRecording(false);
  // First uses (WinHTTP's threads, the heap's first blocks) are not growth.
  int nWarmUp = 0;
  for (int i = 0; i < 200; ++i) {
    nWarmUp += exchange(i) ? 1 : 0;
  }
  ASSERT_GE(nWarmUp, 190) << "the exchanges did not end the way this case means";
  const ProcessCounts before = SettledCounts(nThreadsAtRest);
  int nAsMeant = 0;
  for (int i = 0; i < path.nExchanges; ++i) {
    nAsMeant += exchange(200 + i) ? 1 : 0;
  }
  const ProcessCounts after = SettledCounts(before.m_nThreads);
  std::printf(
      "[ exchanges ] %s: %d, private %zu KiB -> %zu KiB, handles %lu -> %lu, threads %lu -> "
      "%lu\n",
      path.name, path.nExchanges, before.m_cbPrivate / 1024, after.m_cbPrivate / 1024,
      before.m_nHandles, after.m_nHandles, before.m_nThreads, after.m_nThreads);
  EXPECT_GE(nAsMeant, path.nExchanges * 95 / 100);
  EXPECT_GT(before.m_nHandles, 0u);
  // Generous: a few hundred bytes kept per exchange would exceed it.
  EXPECT_LE(after.m_cbPrivate, before.m_cbPrivate + 512 * 1024);
  EXPECT_LE(after.m_nHandles, before.m_nHandles + 16);
  EXPECT_LE(after.m_nThreads, before.m_nThreads);
}

INSTANTIATE_TEST_SUITE_P(EveryEnd, RouterExchanges, ::testing::ValuesIn(kPaths),
                         [](const ::testing::TestParamInfo<PathCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
