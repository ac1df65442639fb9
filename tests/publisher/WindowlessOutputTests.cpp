// The windowless publisher's diagnostics: debugger output and the log file
// in a scratch folder, a time on each line, the size cap with one previous
// file kept.

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>

#include "ConsoleLine.h"
#include "LogFile.h"
#include "WindowlessOutput.h"
#include "TestSupport.h"
#include "support/ScratchFolder.h"

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

TEST(LogFile, PastTheCapTheLogBecomesThePreviousOneAndNothingElseIsKept) {
  const CScratchFolder folder;
  constexpr std::uint64_t kCap = 300;
  CLogFile log(folder.Path(), kCap);
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
