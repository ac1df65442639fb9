#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "publisher/options/CommandLineQuoting.h"

namespace {

TEST(CommandLine, ArgumentsAreQuotedOnlyWhereTheyMustBeWithBackslashesBeforeQuotesDoubled) {
  static constexpr std::pair<const wchar_t*, const wchar_t*> kCases[] = {
      {L"--source", L"--source"},
      {L"http://192.168.178.1:49000/igddesc.xml", L"http://192.168.178.1:49000/igddesc.xml"},
      {L"", L"\"\""},
      {L"Wi-Fi 2", L"\"Wi-Fi 2\""},
      {L"tab\there", L"\"tab\there\""},
      {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
      {L"a\"b", L"\"a\\\"b\""},
      {L"a\\b\\\\c", L"a\\b\\\\c"},
      {L"dir with space\\", L"\"dir with space\\\\\""},
      {L"x \\\"y", L"\"x \\\\\\\"y\""},
      {L"\\\\", L"\\\\"},
  };
  for (const auto& [pszArg, pszQuoted] : kCases) {
    EXPECT_EQ(QuoteArgument(pszArg), pszQuoted);
  }
}

TEST(CommandLine, TheProgramIsAlwaysQuotedAndArgumentsFollowInOrder) {
  EXPECT_EQ(BuildCommandLine(L"C:\\Nimbrel\\nimbrel-publisherw.exe", {}),
            L"\"C:\\Nimbrel\\nimbrel-publisherw.exe\"");
  EXPECT_EQ(BuildCommandLine(L"C:\\Program Files\\Nimbrel\\nimbrel-publisherw.exe",
                             {L"--source", L"adapter", L"--adapter", L"Wi-Fi 2"}),
            L"\"C:\\Program Files\\Nimbrel\\nimbrel-publisherw.exe\" --source adapter --adapter "
            L"\"Wi-Fi 2\"");
}

}  // namespace
