#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "band/AutostartRules.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Behaves like GetModuleFileNameW for a path of the given length: fills as
// much as fits, terminated, and reports the buffer size when it was cut.
struct FakeModulePath {
  std::wstring path;
  std::vector<std::size_t> sizesAsked;

  std::size_t operator()(wchar_t* pszBuffer, std::size_t cchBuffer) {
    sizesAsked.push_back(cchBuffer);
    const std::size_t cchCopy = std::min(path.size(), cchBuffer - 1);
    std::copy_n(path.data(), cchCopy, pszBuffer);
    pszBuffer[cchCopy] = L'\0';
    return path.size() < cchBuffer ? path.size() : cchBuffer;
  }
};

struct PathCase {
  const char* what;
  std::size_t cchPath;
  std::vector<std::size_t> sizesAsked;
};

const PathCase kPathCases[] = {
    {"a short path needs one read", 10, {260}},
    {"259 characters still fit the first buffer", 259, {260}},
    {"260 characters fill it and need a second read", 260, {260, 520}},
    {"a long path grows the buffer until it fits", 5000, {260, 520, 1040, 2080, 4160, 8320}},
    {"the longest path Windows allows", 32767, {260, 520, 1040, 2080, 4160, 8320, 16640, 32768}},
};

TEST(ReadWholePath, GrowsTheBufferUntilThePathFitsWhole) {
  for (const auto& c : kPathCases) {
    FakeModulePath fake{std::wstring(c.cchPath, L'x'), {}};
    const std::wstring path = ReadWholePath(std::ref(fake));
    EXPECT_EQ(path, fake.path) << c.what;
    EXPECT_EQ(fake.sizesAsked, c.sizesAsked) << c.what;
  }
}

TEST(ReadWholePath, GivesNothingForAPathThatNeverFits) {
  FakeModulePath fake{std::wstring(kMaxPathChars, L'x'), {}};
  EXPECT_EQ(ReadWholePath(std::ref(fake)), L"");
  EXPECT_EQ(fake.sizesAsked.back(), kMaxPathChars);
}

TEST(ReadWholePath, GivesNothingWhenTheReadFails) {
  int nCalls = 0;
  const std::wstring path = ReadWholePath([&](wchar_t*, std::size_t) -> std::size_t {
    ++nCalls;
    return 0;
  });
  EXPECT_EQ(path, L"");
  EXPECT_EQ(nCalls, 1);
}

TEST(QuoteCommandPath, PutsThePathInDoubleQuotes) {
  EXPECT_EQ(QuoteCommandPath(L"C:\\Program Files\\Nimbrel\\Nimbrel.exe"),
            L"\"C:\\Program Files\\Nimbrel\\Nimbrel.exe\"");
  EXPECT_EQ(QuoteCommandPath(L"C:\\a\\b.exe"), L"\"C:\\a\\b.exe\"");
}

#ifdef _WIN32
// The growth relies on GetModuleFileNameW reporting a cut path by filling the
// whole buffer; starting from a buffer far too small shows it does.
TEST(ReadWholePath, ReadsTheWholeModulePathFromTheSystemStartingTooSmall) {
  std::wstring expected(32768, L'\0');
  expected.resize(GetModuleFileNameW(nullptr, expected.data(), 32768));
  ASSERT_GT(expected.size(), 8u);
  std::vector<std::size_t> sizesAsked;
  const std::wstring path = ReadWholePath(
      [&](wchar_t* pszBuffer, std::size_t cchBuffer) -> std::size_t {
        sizesAsked.push_back(cchBuffer);
        return GetModuleFileNameW(nullptr, pszBuffer, static_cast<DWORD>(cchBuffer));
      },
      4);
  EXPECT_EQ(path, expected);
  EXPECT_GT(sizesAsked.size(), 1u);
}
#endif

}  // namespace
