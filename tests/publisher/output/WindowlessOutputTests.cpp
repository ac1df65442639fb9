// The windowless publisher's diagnostics: debugger output and the log file
// in a scratch folder, a time on each line, the size cap with one previous
// file kept, moved aside by the running publisher only, and kept bounded
// when it cannot be moved aside.

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>

#include "publisher/output/LineSanitizer.h"
#include "publisher/output/LogFile.h"
#include "publisher/main/PublisherExit.h"
#include "publisher/main/PublisherMain.h"
#include "publisher/options/PublisherOptions.h"
#include "support/TestSupport.h"
#include "publisher/output/WindowlessOutput.h"
#include "common/UniqueHandle.h"
#include "support/ScratchFolder.h"
#include "support/SectionReader.h"

namespace {

// "2024-05-01 18:03:07.125  text\r\n", one per line.
const std::regex kStampedLine(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  ([^\r\n]*)\r\n)");

std::vector<std::string> LoggedTexts(const std::string& log) {
  std::vector<std::string> texts;
  std::size_t nAt = 0;
  std::smatch match;
  while (nAt < log.size()) {
    const std::string rest = log.substr(nAt);
    if (!std::regex_search(rest, match, kStampedLine, std::regex_constants::match_continuous)) {
      texts.push_back("<not a stamped line: " + rest.substr(0, rest.find('\n')) + ">");
      break;
    }
    texts.push_back(match[1]);
    nAt += static_cast<std::size_t>(match.length(0));
  }
  return texts;
}

TEST(LogFile, EachLineCarriesTodaysDateAndTimeAndIsUtf8) {
  const CScratchFolder folder;
  CLogFile log(folder.Path());
  EXPECT_EQ(log.Path(), folder.Path() + L"\\publisher.log");
  log.Append(L"nimbrel-publisher: router: timed out");
  log.Append(L"Gr\u00fc\u00dfe");
  const std::string text = folder.Read(L"publisher.log");
  EXPECT_EQ(LoggedTexts(text), (std::vector<std::string>{"nimbrel-publisher: router: timed out",
                                                         "Gr\xc3\xbc\xc3\x9f"
                                                         "e"}));
  SYSTEMTIME st{};
  GetLocalTime(&st);
  char szToday[16] = {};
  std::snprintf(szToday, sizeof(szToday), "%04u-%02u-%02u", unsigned{st.wYear}, unsigned{st.wMonth},
                unsigned{st.wDay});
  EXPECT_EQ(text.rfind(szToday, 0), 0u) << text;
}

TEST(LogFile, PastTheCapThePublishersLogBecomesThePreviousOneAndNothingElseIsKept) {
  const CScratchFolder folder;
  constexpr std::uint64_t kCap = 300;
  CLogFile log(folder.Path(), kCap);
  log.AllowRotation();
  for (int i = 0; i < 40; ++i) {
    log.Append(L"line " + std::to_wstring(i));
  }
  const std::string current = folder.Read(L"publisher.log");
  const std::string previous = folder.Read(L"publisher.log.1");
  EXPECT_LE(current.size(), kCap);
  EXPECT_LE(previous.size(), kCap);
  EXPECT_GT(previous.size(), kCap / 2);
  // The two files hold the latest lines, in order, with none missing between.
  std::vector<std::string> texts = LoggedTexts(previous);
  const std::vector<std::string> newer = LoggedTexts(current);
  texts.insert(texts.end(), newer.begin(), newer.end());
  ASSERT_FALSE(texts.empty());
  const int nFirst = 40 - static_cast<int>(texts.size());
  EXPECT_GT(nFirst, 0) << "nothing was dropped";
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(texts[i], "line " + std::to_string(nFirst + static_cast<int>(i)));
  }
  EXPECT_FALSE(folder.Exists(L"publisher.log.2"));
}

std::uint64_t FileSize(const std::wstring& strPath) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(strPath.c_str(), GetFileExInfoStandard, &data)) {
    return 0;
  }
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

CUniqueHandle OpenAsViewer(const std::wstring& strPath, DWORD dwShare) {
  const HANDLE hFile =
      CreateFileW(strPath.c_str(), GENERIC_READ, dwShare, nullptr, OPEN_EXISTING, 0, nullptr);
  return CUniqueHandle(hFile == INVALID_HANDLE_VALUE ? nullptr : hFile);
}

TEST(LogFile, AnotherWriterNeverMovesTheLogAsideAndStopsAddingAtTwiceTheCap) {
  const CScratchFolder folder;
  constexpr std::uint64_t kCap = 300;
  CLogFile publisher(folder.Path(), kCap);
  publisher.AllowRotation();
  for (int i = 0; i < 12; ++i) {
    publisher.Append(L"publisher " + std::to_wstring(i));
  }
  const std::string previous = folder.Read(L"publisher.log.1");
  ASSERT_FALSE(previous.empty());

  // A --stop run, a refused second start: they find the log full.
  CDebugOutputCapture debugger;
  CLogFile other(folder.Path(), kCap);
  for (int i = 0; i < 40; ++i) {
    other.Append(L"other " + std::to_wstring(i));
    EXPECT_LE(FileSize(other.Path()), 2 * kCap);
  }
  EXPECT_EQ(folder.Read(L"publisher.log.1"), previous) << "the previous log was replaced";
  const std::string full = folder.Read(L"publisher.log");
  EXPECT_GT(full.size(), kCap);
  EXPECT_NE(full.find("other 0\r\n"), std::string::npos);
  ASSERT_EQ(debugger.Lines().size(), 1u);
  EXPECT_EQ(debugger.Lines()[0].rfind(L"nimbrel-publisher: " + other.Path() +
                                          L" is full, and only the running publisher starts a new "
                                          L"one",
                                      0),
            0u);

  // The publisher's next line moves it aside, with the other writer's lines.
  publisher.Append(L"publisher again");
  EXPECT_EQ(folder.Read(L"publisher.log.1"), full);
  EXPECT_EQ(LoggedTexts(folder.Read(L"publisher.log")),
            (std::vector<std::string>{"publisher again"}));
}

TEST(LogFile, ALogThatCannotBeMovedAsideIsEmptiedSaysWhyOnceAndStaysWithinTheCap) {
  enum class Obstacle { ViewerThatForbidsRenaming, FolderInThePreviousLogsPlace };
  for (const Obstacle obstacle :
       {Obstacle::ViewerThatForbidsRenaming, Obstacle::FolderInThePreviousLogsPlace}) {
    const CScratchFolder folder;
    constexpr std::uint64_t kCap = 300;
    CLogFile log(folder.Path(), kCap);
    log.AllowRotation();
    log.Append(L"first");
    CUniqueHandle viewer;
    if (obstacle == Obstacle::ViewerThatForbidsRenaming) {
      viewer = OpenAsViewer(log.Path(), FILE_SHARE_READ | FILE_SHARE_WRITE);
      ASSERT_TRUE(viewer);
    } else {
      ASSERT_TRUE(CreateDirectoryW((folder.Path() + L"\\publisher.log.1").c_str(), nullptr));
    }

    CDebugOutputCapture debugger;
    for (int i = 0; i < 60; ++i) {
      log.Append(L"line " + std::to_wstring(i));
      ASSERT_LE(FileSize(log.Path()), kCap) << "after line " << i;
    }
    // Said once, however often the log was emptied; and said in the log itself.
    ASSERT_EQ(debugger.Lines().size(), 1u);
    const std::wstring& said = debugger.Lines()[0];
    EXPECT_EQ(said.rfind(L"nimbrel-publisher: the full log could not be kept as publisher.log.1 "
                         L"(error ",
                         0),
              0u)
        << std::string(said.begin(), said.end());
    EXPECT_NE(said.find(L"; it was emptied"), std::wstring::npos);
    const std::vector<std::string> texts = LoggedTexts(folder.Read(L"publisher.log"));
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(std::wstring(texts[0].begin(), texts[0].end()) + L"\n", said);
    // After the note, the latest lines in order, none missing between.
    const int nFirst = 60 - static_cast<int>(texts.size() - 1);
    for (std::size_t i = 1; i < texts.size(); ++i) {
      EXPECT_EQ(texts[i], "line " + std::to_string(nFirst + static_cast<int>(i) - 1));
    }
    EXPECT_EQ(texts.back(), "line 59");

    // Once the obstacle is gone, the log is moved aside again.
    viewer.Reset();
    RemoveDirectoryW((folder.Path() + L"\\publisher.log.1").c_str());
    for (int i = 0; i < 10; ++i) {
      log.Append(L"later " + std::to_wstring(i));
    }
    EXPECT_NE(folder.Read(L"publisher.log.1").find("line 59"), std::string::npos);
  }
}

TEST(LogFile, ALogThatCannotBeOpenedGetsNoLinesAndThatIsSaidOnce) {
  const CScratchFolder folder;
  CLogFile log(folder.Path(), 300);
  log.AllowRotation();
  log.Append(L"before");
  const std::uint64_t cbBefore = FileSize(log.Path());
  CDebugOutputCapture debugger;
  {
    const CUniqueHandle viewer = OpenAsViewer(log.Path(), FILE_SHARE_READ);
    ASSERT_TRUE(viewer);
    for (int i = 0; i < 5; ++i) {
      log.Append(L"while held");
    }
    EXPECT_EQ(FileSize(log.Path()), cbBefore);
  }
  ASSERT_EQ(debugger.Lines().size(), 1u);
  EXPECT_EQ(debugger.Lines()[0].rfind(L"nimbrel-publisher: cannot write to " + log.Path(), 0), 0u);
  log.Append(L"after");
  EXPECT_EQ(LoggedTexts(folder.Read(L"publisher.log")),
            (std::vector<std::string>{"before", "after"}));
}

TEST(WindowlessOutput, OnlyAProcessThatBecameThePublisherMovesAFullLogAside) {
  const CScratchFolder folder;
  // Room for what one run says, but not for what was there before.
  constexpr std::uint64_t kCap = 1000;
  {
    CLogFile filler(folder.Path(), kCap);
    for (int i = 0; i < 25; ++i) {
      filler.Append(L"a line of what happened before " + std::to_wstring(i));
    }
  }
  ASSERT_GT(FileSize(folder.Path() + L"\\publisher.log"), kCap);
  const std::wstring strName = UniqueSectionName(L"LogRotation");
  const auto run = [&](std::vector<std::wstring_view> args) {
    args.insert(args.end(), {L"--section-name", strName});
    CWindowlessSink output(folder.Path(), kCap);
    return PublisherMain(ParsePublisherOptions(args), output);
  };
  EXPECT_EQ(run({L"--stop"}), kExitNotRunning);
  EXPECT_FALSE(folder.Exists(L"publisher.log.1"));
  EXPECT_NE(folder.Read(L"publisher.log").find("no publisher is running"), std::string::npos);

  EXPECT_EQ(run({L"--source", L"demo", L"--once", L"--interval", L"100"}), kExitOk);
  EXPECT_NE(folder.Read(L"publisher.log.1").find("no publisher is running"), std::string::npos);
  EXPECT_NE(folder.Read(L"publisher.log").find("stopped (process"), std::string::npos);
}

TEST(LogFile, AMissingFolderIsCreatedAndNoFolderMeansNoFile) {
  const CScratchFolder folder;
  CLogFile log(folder.Path() + L"\\Nimbrel");
  log.Append(L"first");
  EXPECT_EQ(LoggedTexts(folder.Read(L"Nimbrel\\publisher.log")),
            (std::vector<std::string>{"first"}));
  CLogFile nowhere(L"");
  nowhere.Append(L"dropped");
  EXPECT_TRUE(nowhere.Path().empty());
  EXPECT_NE(DefaultLogFolder().find(L"\\Nimbrel"), std::wstring::npos);
}

TEST(WindowlessOutput, EveryLineGoesToTheDebuggerAndTheLogNotesOnlyThere) {
  const CScratchFolder folder;
  CDebugOutputCapture debugger;
  CWindowlessSink output(folder.Path());
  EXPECT_EQ(output.LogPath(), folder.Path() + L"\\publisher.log");
  output.Error(L"nimbrel-publisher: first\nsecond\n");
  output.Note(L"nimbrel-publisher: stopped");
  EXPECT_EQ(debugger.Lines(), (std::vector<std::wstring>{L"nimbrel-publisher: first\n", L"second\n",
                                                         L"nimbrel-publisher: stopped\n"}));
  EXPECT_EQ(LoggedTexts(folder.Read(L"publisher.log")),
            (std::vector<std::string>{"nimbrel-publisher: first", "second",
                                      "nimbrel-publisher: stopped"}));
}

TEST(WindowlessOutput, TextFromTheNetworkIsMadeSafeOnceForTheDebuggerAndTheLogAlike) {
  const CScratchFolder folder;
  CDebugOutputCapture debugger;
  CWindowlessSink output(folder.Path());
  output.Error(L"nimbrel-publisher: router: \x1b[2J\a\x9b" + std::wstring(1000, L'x'));
  const std::wstring strSafe =
      L"nimbrel-publisher: router: ?[2J??" + std::wstring(kMaxConsoleLine - 36, L'x') + L"...";
  ASSERT_EQ(strSafe.size(), kMaxConsoleLine);
  EXPECT_EQ(debugger.Lines(), (std::vector<std::wstring>{strSafe + L"\n"}));
  EXPECT_EQ(LoggedTexts(folder.Read(L"publisher.log")),
            (std::vector<std::string>{std::string(strSafe.begin(), strSafe.end())}));
}

}  // namespace
