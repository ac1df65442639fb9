// Winsock's headers (through the fake gateway) must come before <windows.h>.
#include "support/FakeIgd.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

#include "common/UniqueHandle.h"
#include "publisher/system/PublisherNames.h"
#include "publisher/system/PublisherStop.h"
#include "support/ChildProcess.h"
#include "support/SectionReader.h"

namespace {

// Generous against the second the stop may take (process start-up included),
// yet short of the 4.5 s an exchange would still run if the stop had to wait for it.
constexpr DWORD kStopsWithinMs = 3000;

std::wstring SectionArg(const std::wstring& strName) {
  return L"--section-name \"" + strName + L"\" ";
}

// A router that answers the description and its link at once, and every
// other action one byte every 200 ms: each exchange runs into the deadline.
class DripFeedingRouter : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_igd.Start([](const FakeRequest& request) {
      if (request.m_strMethod == "GET") {
        return FakeResponse{200, IgdDescriptionXml("/ctl", nullptr)};
      }
      if (ActionOf(request) == "GetCommonLinkProperties") {
        return FakeResponse{200, SoapAnswer("GetCommonLinkProperties",
                                            {{"NewLayer1UpstreamMaxBitRate", "40000000"},
                                             {"NewLayer1DownstreamMaxBitRate", "100000000"}})};
      }
      FakeResponse drip{200, SoapAnswer("GetAddonInfos",
                                        {{"NewByteSendRate", "1"}, {"NewByteReceiveRate", "2"}})};
      drip.m_dwDripMs = 200;
      return drip;
    }));
    m_strName = UniqueSectionName(L"Drip");
  }

  // Starts the publisher and waits for its first record: "No Data", once the
  // first exchange has run out. The next one starts 100 ms later; this returns
  // 300 ms after that record.
  void StartAndWaitForNoData(PublisherVariant variant = PublisherVariant::Console,
                             ChildConsole console = ChildConsole::Shared) {
    const ULONGLONG nStart = GetTickCount64();
    ASSERT_TRUE(m_child.Start(SectionArg(m_strName) + L"--source router --router " +
                                  m_igd.Url("/igddesc.xml") + L" --interval 100",
                              variant, console));
    std::optional<SharedTrafficRecord> record;
    while (!(record && record->Sequence != 0) && GetTickCount64() - nStart < 20'000) {
      Sleep(50);
      record = ReadSection(m_strName);
    }
    ASSERT_TRUE(record && record->Sequence != 0) << "no record within 20 s";
    // The default deadline is about 5 s; the old code waited for the whole answer.
    EXPECT_LT(GetTickCount64() - nStart, 15'000u);
    EXPECT_EQ(record->RateDown, -1);
    EXPECT_EQ(record->RateUp, -1);
    Sleep(300);
  }

  // The publisher ended well within the bound, with 0, and took its section along.
  void ExpectStoppedSince(ULONGLONG nAsked) {
    EXPECT_TRUE(m_child.WaitForExit(kStopsWithinMs));
    EXPECT_LT(GetTickCount64() - nAsked, kStopsWithinMs);
    const ChildResult result = m_child.Finish(5000);
    EXPECT_TRUE(result.m_bExited);
    EXPECT_EQ(result.m_dwExitCode, 0u) << result.m_strErr;
    EXPECT_FALSE(ReadSection(m_strName)) << "section left behind";
    EXPECT_EQ(result.m_strErr.find("stopped"), std::string::npos) << result.m_strErr;
  }

  CFakeIgd m_igd;
  CChildProcess m_child;
  std::wstring m_strName;
};

TEST_F(DripFeedingRouter, StopEndsThePublisherInTheMiddleOfAnExchange) {
  StartAndWaitForNoData();
  const ULONGLONG nAsked = GetTickCount64();
  const ChildResult stop = RunPublisher(SectionArg(m_strName) + L"--stop", 10'000);
  EXPECT_EQ(stop.m_dwExitCode, 0u) << stop.m_strErr;
  EXPECT_EQ(stop.m_strOut, "nimbrel-publisher: the running publisher has stopped\r\n");
  ExpectStoppedSince(nAsked);
}

TEST_F(DripFeedingRouter, CtrlCEndsThePublisherInTheMiddleOfAnExchange) {
  StartAndWaitForNoData(PublisherVariant::Console, ChildConsole::Own);
  const ULONGLONG nAsked = GetTickCount64();
  ASSERT_TRUE(m_child.PressCtrlC());
  ExpectStoppedSince(nAsked);
}

HWND FindSessionWindow(DWORD dwProcessId) {
  struct Search {
    DWORD m_dwProcessId;
    HWND m_hWnd;
  } search{dwProcessId, nullptr};
  EnumWindows(
      [](HWND hWnd, LPARAM lParam) -> BOOL {
        auto* pSearch = reinterpret_cast<Search*>(lParam);
        DWORD dwOwner = 0;
        GetWindowThreadProcessId(hWnd, &dwOwner);
        wchar_t szClass[64] = {};
        GetClassNameW(hWnd, szClass, 64);
        if (dwOwner != pSearch->m_dwProcessId || std::wstring(szClass) != kSessionWindowClass) {
          return TRUE;
        }
        pSearch->m_hWnd = hWnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.m_hWnd;
}

class DripFeedingRouterAtLogOff : public DripFeedingRouter,
                                  public ::testing::WithParamInterface<PublisherVariant> {};

// Windows ends the process as soon as WM_ENDSESSION returns: by then the section must be gone.
TEST_P(DripFeedingRouterAtLogOff, TheSessionEndingEndsThePublisherAfterItRemovedItsSection) {
  StartAndWaitForNoData(GetParam());
  const HWND hWnd = FindSessionWindow(m_child.ProcessId());
  ASSERT_NE(hWnd, nullptr);
  DWORD_PTR nResult = 0;
  ASSERT_TRUE(SendMessageTimeoutW(hWnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK,
                                  kStopsWithinMs, &nResult));
  EXPECT_EQ(nResult, TRUE);
  const ULONGLONG nAsked = GetTickCount64();
  ASSERT_TRUE(SendMessageTimeoutW(hWnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK,
                                  kStopsWithinMs, &nResult));
  EXPECT_FALSE(ReadSection(m_strName)) << "the section outlived WM_ENDSESSION";
  ExpectStoppedSince(nAsked);
}

INSTANTIATE_TEST_SUITE_P(Variants, DripFeedingRouterAtLogOff,
                         ::testing::Values(PublisherVariant::Console, PublisherVariant::Windowless),
                         [](const auto& info) {
                           return info.param == PublisherVariant::Console ? "Console"
                                                                          : "Windowless";
                         });

TEST(PublisherNamesTakenFirst, AreNotTrustedAndThePublisherSaysSoAndLeaves) {
  struct Case {
    bool bEvent;
    bool bMutex;
    DWORD dwExit;
    std::string line;  // with {} for the section name
  };
  const Case kCases[] = {
      {true, false, 8,
       "nimbrel-publisher: 'Nimbrel_Publisher_Stop_{}' was created by another program, not by a "
       "publisher; not publishing, as that program could stop this one at will or keep --stop "
       "from reaching it\r\n"},
      {false, true, 8,
       "nimbrel-publisher: 'Nimbrel_Publisher_{}' was created by another program, not by a "
       "publisher; not publishing, as that program could stop this one at will or keep --stop "
       "from reaching it\r\n"},
      {true, true, 4,
       "nimbrel-publisher: another publisher is already running for the Nimbrel band; close it "
       "first (only one may publish at a time)\r\n"},
  };
  for (const Case& c : kCases) {
    const std::wstring strName = UniqueSectionName(L"Taken");
    const CUniqueHandle event(
        c.bEvent ? CreateEventW(nullptr, TRUE, FALSE, PublisherStopEventName(strName).c_str())
                 : nullptr);
    const CUniqueHandle mutex(
        c.bMutex ? CreateMutexW(nullptr, FALSE, PublisherMutexName(strName).c_str()) : nullptr);
    const ChildResult result =
        RunPublisher(SectionArg(strName) + L"--source demo --interval 100", 10'000);
    std::string line = c.line;
    const std::string narrowName(strName.begin(), strName.end());
    if (const std::size_t nAt = line.find("{}"); nAt != std::string::npos) {
      line.replace(nAt, 2, narrowName);
    }
    EXPECT_TRUE(result.m_bExited);
    EXPECT_EQ(result.m_dwExitCode, c.dwExit) << line;
    EXPECT_EQ(result.m_strErr, line);
    EXPECT_FALSE(ReadSection(strName)) << line;
    if (c.bEvent) {
      EXPECT_EQ(WaitForSingleObject(event.Get(), 0), WAIT_TIMEOUT) << "the publisher set it";
    }
  }
}

TEST(PublisherStopCommand, DoesNotSetAnEventThatNoPublisherHolds) {
  const std::wstring strName = UniqueSectionName(L"StopSquatted");
  const CUniqueHandle event(
      CreateEventW(nullptr, TRUE, FALSE, PublisherStopEventName(strName).c_str()));
  const ChildResult result = RunPublisher(SectionArg(strName) + L"--stop", 10'000);
  EXPECT_EQ(result.m_dwExitCode, 6u);
  EXPECT_EQ(result.m_strErr, "nimbrel-publisher: no publisher is running\r\n");
  EXPECT_EQ(WaitForSingleObject(event.Get(), 0), WAIT_TIMEOUT);
}

TEST(PublisherStopCommand, SaysSoWhenThePublisherDoesNotEnd) {
  // The test plays a publisher that never lets go.
  const std::wstring strName = UniqueSectionName(L"StopHung");
  const CUniqueHandle event(
      CreateEventW(nullptr, TRUE, FALSE, PublisherStopEventName(strName).c_str()));
  const CUniqueHandle mutex(CreateMutexW(nullptr, FALSE, PublisherMutexName(strName).c_str()));
  const ChildResult result = RunPublisher(SectionArg(strName) + L"--stop", 30'000);
  EXPECT_TRUE(result.m_bExited);
  EXPECT_EQ(result.m_dwExitCode, 9u);
  EXPECT_EQ(result.m_strErr,
            "nimbrel-publisher: asked the running publisher to stop, but it was still running "
            "after 8 s\r\n");
  EXPECT_EQ(WaitForSingleObject(event.Get(), 0), WAIT_OBJECT_0);
}

}  // namespace
