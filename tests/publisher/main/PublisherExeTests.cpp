#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

#include "feed/TrafficDecode.h"
#include "NimbrelVersion.h"
#include "support/ProcessBox.h"
#include "support/ChildProcess.h"
#include "support/ScratchFolder.h"
#include "support/SectionReader.h"

namespace {

std::wstring SectionArg(const std::wstring& strName) {
  return L"--section-name \"" + strName + L"\" ";
}

// Waits until the publisher has created its section.
bool WaitForSection(const std::wstring& strName, DWORD dwMs) {
  const ULONGLONG nEnd = GetTickCount64() + dwMs;
  while (GetTickCount64() < nEnd) {
    const auto record = ReadSection(strName);
    if (record && record->Sequence != 0) return true;
    Sleep(10);
  }
  return false;
}

// Both executables run one program body: every case here holds for each.
class PublisherExe : public ::testing::TestWithParam<PublisherVariant> {
 protected:
  // The windowless publisher logs into a scratch folder, never the user's.
  [[nodiscard]] std::wstring Args(const std::wstring& strArguments) const {
    if (GetParam() == PublisherVariant::Console) {
      return strArguments;
    }
    return L"--log-folder \"" + m_logs.Path() + L"\" " + strArguments;
  }
  [[nodiscard]] ChildResult Run(const std::wstring& strArguments) const {
    return RunPublisher(Args(strArguments), 10000, GetParam());
  }

  CScratchFolder m_logs;
};

INSTANTIATE_TEST_SUITE_P(Variants, PublisherExe,
                         ::testing::Values(PublisherVariant::Console, PublisherVariant::Windowless),
                         [](const auto& info) {
                           return info.param == PublisherVariant::Console ? "Console"
                                                                          : "Windowless";
                         });

TEST_P(PublisherExe, DemoIsReadByTheBandsPollAsAStreamOfNewRecords) {
  const std::wstring strName = UniqueSectionName(L"ExeDemo");
  CChildProcess child;
  ASSERT_TRUE(child.Start(Args(SectionArg(strName) + L"--source demo --interval 100 --seed 7"),
                          GetParam()));
  ASSERT_TRUE(WaitForSection(strName, 10000));

  TrafficState state;
  std::set<std::uint64_t> sequences;
  int nRepaints = 0;
  for (int nTick = 0; nTick < 20; ++nTick) {
    if (PollLikeTheBand(strName, state)) {
      ++nRepaints;
      EXPECT_TRUE(sequences.insert(state.m_nLastSequence).second);
      EXPECT_TRUE(state.m_bHasData);
      EXPECT_GE(state.m_nRateLower, 0);
      EXPECT_GE(state.m_nRateUpper, 0);
      EXPECT_EQ(state.m_nMaxLower, 12'500'000);
      EXPECT_EQ(state.m_nMaxUpper, 5'000'000);
    }
    Sleep(100);
  }
  // One record per 100 ms, polled every 100 ms: most polls find a new one,
  // even on a machine too busy to keep either clock exact.
  EXPECT_GE(nRepaints, 10);

  const ChildResult stop = Run(SectionArg(strName) + L"--stop");
  EXPECT_EQ(stop.m_dwExitCode, 0u);
  EXPECT_EQ(stop.m_strOut, "nimbrel-publisher: the running publisher has stopped\r\n");
  const ChildResult result = child.Finish(5000);
  EXPECT_TRUE(result.m_bExited);
  EXPECT_EQ(result.m_dwExitCode, 0u);
  EXPECT_FALSE(ReadSection(strName)) << "section left behind after stopping";
  EXPECT_TRUE(PollLikeTheBand(strName, state));
  EXPECT_FALSE(state.m_bHasData);
}

TEST_P(PublisherExe, SameSeedPublishesTheSameFigures) {
  const std::wstring strName = UniqueSectionName(L"ExeSeed");
  const ChildResult first = Run(SectionArg(strName) + L"--source demo --once --seed 42");
  const ChildResult second = Run(SectionArg(strName) + L"--source demo --once --seed 42");
  const ChildResult other = Run(SectionArg(strName) + L"--source demo --once --seed 43");
  ASSERT_TRUE(first.m_bExited);
  EXPECT_EQ(first.m_dwExitCode, 0u);
  const auto Figures = [](const std::string& line) { return line.substr(line.find(" down=")); };
  ASSERT_NE(first.m_strOut.find("seq="), std::string::npos) << first.m_strOut;
  EXPECT_EQ(Figures(first.m_strOut), Figures(second.m_strOut));
  EXPECT_NE(Figures(first.m_strOut), Figures(other.m_strOut));
  EXPECT_NE(first.m_strOut.find("max-down=12500000 max-up=5000000 color-down=4E9AE6 "
                                "color-up=7EE444 units=bytes down-on=lower"),
            std::string::npos)
      << first.m_strOut;
}

TEST_P(PublisherExe, OptionsShapeThePublishedRecord) {
  const std::wstring strName = UniqueSectionName(L"ExeOptions");
  const ChildResult result = Run(SectionArg(strName) +
                                 L"--source demo --once --bits --down-on-upper --color-down 112233 "
                                 L"--color-up 445566 --max-down 0 --max-up 777");
  ASSERT_TRUE(result.m_bExited);
  EXPECT_EQ(result.m_dwExitCode, 0u);
  EXPECT_NE(result.m_strOut.find(
                "max-down=0 max-up=777 color-down=112233 color-up=445566 units=bits down-on=upper"),
            std::string::npos)
      << result.m_strOut;
}

TEST_P(PublisherExe, SecondPublisherRefusesWithAClearLine) {
  const std::wstring strName = UniqueSectionName(L"ExeSecond");
  CChildProcess first;
  ASSERT_TRUE(first.Start(Args(SectionArg(strName) + L"--source demo --interval 100"), GetParam()));
  ASSERT_TRUE(WaitForSection(strName, 10000));

  const ChildResult second = Run(SectionArg(strName));
  EXPECT_TRUE(second.m_bExited);
  EXPECT_EQ(second.m_dwExitCode, 4u);
  EXPECT_NE(second.m_strErr.find("another publisher is already running"), std::string::npos)
      << second.m_strErr;
  // The first one keeps publishing.
  const std::uint64_t nBefore = ReadSection(strName)->Sequence;
  Sleep(300);
  EXPECT_NE(ReadSection(strName)->Sequence, nBefore);

  EXPECT_EQ(Run(SectionArg(strName) + L"--stop").m_dwExitCode, 0u);
  EXPECT_TRUE(first.Finish(5000).m_bExited);
  const ChildResult again = Run(SectionArg(strName) + L"--stop");
  EXPECT_EQ(again.m_dwExitCode, 6u);
  EXPECT_EQ(again.m_strErr, "nimbrel-publisher: no publisher is running\r\n");
}

TEST_P(PublisherExe, BadOptionGivesOneLineAndExitCodeTwo) {
  static constexpr std::pair<const wchar_t*, const char*> kCases[] = {
      {L"--interval 5",
       "nimbrel-publisher: --interval needs milliseconds from 100 to 60000, not '5'\r\n"},
      {L"--source wifi",
       "nimbrel-publisher: unknown source 'wifi'; use auto, router, adapter or demo\r\n"},
      {L"--colour-up 00FF00",
       "nimbrel-publisher: unknown option '--colour-up'; run with --help for the list\r\n"},
  };
  for (const auto& [pszArgs, pszLine] : kCases) {
    const ChildResult result = Run(pszArgs);
    EXPECT_TRUE(result.m_bExited);
    EXPECT_EQ(result.m_dwExitCode, 2u);
    EXPECT_EQ(result.m_strErr, pszLine);
    EXPECT_EQ(result.m_strOut, "");
  }
}

TEST_P(PublisherExe, HelpPrintsUsageAndPublishesNothing) {
  const std::wstring strName = UniqueSectionName(L"ExeHelp");
  const ChildResult result = Run(L"--help " + SectionArg(strName));
  EXPECT_TRUE(result.m_bExited);
  EXPECT_EQ(result.m_dwExitCode, 0u);
  EXPECT_EQ(result.m_strOut.rfind("Usage: nimbrel-publisher", 0), 0u) << result.m_strOut;
  EXPECT_FALSE(ReadSection(strName));
}

TEST_P(PublisherExe, VersionPrintsTheOneVersion) {
  const ChildResult result = Run(L"--version");
  EXPECT_TRUE(result.m_bExited);
  EXPECT_EQ(result.m_dwExitCode, 0u);
  EXPECT_EQ(result.m_strOut, "nimbrel-publisher " NIMBREL_VERSION_TEXT "\r\n");
  EXPECT_EQ(result.m_strErr, "");
}

TEST(WindowlessPublisherExe, ItsLogSaysWhyItCannotPublishWhereTheConsoleOneWouldPrintIt) {
  const CScratchFolder logs;
  const ChildResult result =
      RunPublisher(L"--log-folder \"" + logs.Path() +
                       L"\" --source adapter --adapter \"Token Ring 3\" --interval 5",
                   10000, PublisherVariant::Windowless);
  EXPECT_EQ(result.m_dwExitCode, 2u);
  const ChildResult missing = RunPublisher(
      L"--log-folder \"" + logs.Path() + L"\" --once --source adapter --adapter \"Token Ring 3\"",
      10000, PublisherVariant::Windowless);
  EXPECT_EQ(missing.m_dwExitCode, 3u);
  const ChildResult help = RunPublisher(L"--log-folder \"" + logs.Path() + L"\" --help", 10000,
                                        PublisherVariant::Windowless);
  EXPECT_EQ(help.m_strOut.rfind("Usage:", 0), 0u);
  const std::string log = logs.Read(L"publisher.log");
  const std::size_t nUsage =
      log.find("  nimbrel-publisher: --interval needs milliseconds from 100 to 60000, not '5'\r\n");
  const std::size_t nSetup =
      log.find("  nimbrel-publisher: no network adapter is called 'Token Ring 3'");
  EXPECT_NE(nUsage, std::string::npos) << log;
  EXPECT_NE(nSetup, std::string::npos) << log;
  EXPECT_LT(nUsage, nSetup) << log;
  // The same lines as on standard error.
  EXPECT_NE(log.find(missing.m_strErr.substr(0, missing.m_strErr.size() - 2)), std::string::npos);
  EXPECT_EQ(log.find("Usage:"), std::string::npos) << "what was asked for is not a diagnostic";
}

// Started at log-on, the publisher may run before the network or the adapter is
// up: it keeps the section on No Data, says why once, and keeps trying.
TEST(WindowlessPublisherExe, ASourceThatCannotStartYetIsRetriedWithNoDataMeanwhileUntilStopped) {
  const CScratchFolder logs;
  const std::wstring strName = UniqueSectionName(L"ExeRetry");
  CChildProcess publisher;
  ASSERT_TRUE(publisher.Start(L"--log-folder \"" + logs.Path() + L"\" " + SectionArg(strName) +
                                  L"--source adapter --adapter \"Token Ring 3\" --interval 100",
                              PublisherVariant::Windowless));
  ASSERT_TRUE(WaitForSection(strName, 10000));
  const auto record = ReadSection(strName);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->RateDown, -1);
  EXPECT_EQ(record->RateUp, -1);
  // Tries at 0, 100, 200 and 400 ms: still there, not given up.
  EXPECT_FALSE(publisher.WaitForExit(1500));

  const ChildResult stop = RunPublisher(SectionArg(strName) + L"--stop", 10000);
  EXPECT_EQ(stop.m_dwExitCode, 0u) << stop.m_strErr;
  const ChildResult result = publisher.Finish(5000);
  EXPECT_TRUE(result.m_bExited);
  EXPECT_EQ(result.m_dwExitCode, 0u);
  const std::string log = logs.Read(L"publisher.log");
  const std::string line = "nimbrel-publisher: no network adapter is called 'Token Ring 3'";
  const std::size_t nFirst = log.find(line);
  ASSERT_NE(nFirst, std::string::npos) << log;
  EXPECT_NE(log.find("showing No Data and retrying in", nFirst), std::string::npos) << log;
  EXPECT_EQ(log.find(line, nFirst + 1), std::string::npos) << "said once, not per try:\n" << log;
}

TEST(WindowlessPublisherExe, WithNowhereToPrintVersionShowsABoxAndOtherAnswersGoToTheLog) {
  const CScratchFolder logs;
  const std::wstring strStart = L"\"" + PublisherExePath(PublisherVariant::Windowless) +
                                L"\" --log-folder \"" + logs.Path() + L"\" --section-name \"" +
                                UniqueSectionName(L"ExeNoHandles") + L"\" ";
  CChildProcess version;
  ASSERT_TRUE(version.StartCommandLine(strStart + L"--version", false));
  const ProgramBox box = WaitForProcessBox(version.ProcessId(), version.Process(), 10000);
  EXPECT_EQ(box.m_caption, L"Nimbrel publisher");
  EXPECT_EQ(box.m_text, std::wstring(L"nimbrel-publisher ") + kNimbrelVersionText);
  DismissBox(box);
  const ChildResult shown = version.Finish(5000);
  EXPECT_TRUE(shown.m_bExited);
  EXPECT_EQ(shown.m_dwExitCode, 0u);

  CChildProcess stop;
  ASSERT_TRUE(stop.StartCommandLine(strStart + L"--stop", false));
  const ChildResult stopped = stop.Finish(10000);
  EXPECT_TRUE(stopped.m_bExited);
  EXPECT_EQ(stopped.m_dwExitCode, 6u);
  EXPECT_NE(logs.Read(L"publisher.log").find("  nimbrel-publisher: no publisher is running\r\n"),
            std::string::npos);
}

}  // namespace
