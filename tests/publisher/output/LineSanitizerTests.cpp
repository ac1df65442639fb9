#include <gtest/gtest.h>

#include <string>

#include "publisher/output/LineSanitizer.h"

namespace {

TEST(SanitizeConsoleLine, ReplacesEveryCharacterThatCouldSteerTheConsole) {
  static constexpr std::pair<const wchar_t*, const wchar_t*> kCases[] = {
      {L"router: GetAddonInfos failed", L"router: GetAddonInfos failed"},
      {L"\x1b[2J\x1b]0;owned\x07", L"?[2J?]0;owned?"},
      {L"a\r\nnimbrel-publisher: the source works again",
       L"a??nimbrel-publisher: the source works again"},
      {L"tab\there", L"tab?here"},
      {L"del\x7f c1\x80\x9b\x9f", L"del? c1???"},
      {L"\x00a0nbsp and \x00e9 stay", L"\x00a0nbsp and \x00e9 stay"},
      {L"line\x2028para\x2029", L"line?para?"},
      {L"bidi \x202e\x2066\x2069 \x200b", L"bidi ??? \x200b"},
      {L"lone \xd800 and \xdc00", L"lone ? and ?"},
      {L"pair \xd83d\xde00 kept", L"pair \xd83d\xde00 kept"},
  };
  for (const auto& [pszLine, pszExpected] : kCases) {
    EXPECT_EQ(SanitizeConsoleLine(pszLine), pszExpected) << std::wstring(pszLine).size();
  }
  EXPECT_EQ(SanitizeConsoleLine(std::wstring(L"a\0b", 3)), L"a?b");
}

TEST(SanitizeConsoleLine, CutsLongLinesWithoutSplittingACharacter) {
  EXPECT_EQ(SanitizeConsoleLine(std::wstring(kMaxConsoleLine, L'x')),
            std::wstring(kMaxConsoleLine, L'x'));
  EXPECT_EQ(SanitizeConsoleLine(std::wstring(kMaxConsoleLine + 1, L'x')),
            std::wstring(kMaxConsoleLine - 3, L'x') + L"...");
  EXPECT_EQ(SanitizeConsoleLine(std::wstring(1'000'000, L'\x1b')).size(), kMaxConsoleLine);
  EXPECT_EQ(SanitizeConsoleLine(L"abcdefgh", 6), L"abc...");
  EXPECT_EQ(SanitizeConsoleLine(L"ab\xd83d\xde00zzz", 6), L"ab...");
  EXPECT_EQ(SanitizeConsoleLine(L"abc\xd83d\xde00zz", 6), L"abc...");
  EXPECT_EQ(SanitizeConsoleLine(L"abcdefgh", 0), L"a...");
}

}  // namespace
