#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "feed/StringFormat.h"

// The same expectations hold for the SDK's function (Windows build) and for
// ours (native build).
namespace {

constexpr HRESULT kInsufficientBuffer = static_cast<HRESULT>(0x8007007AU);
constexpr HRESULT kInvalidParameter = static_cast<HRESULT>(0x80070057U);
constexpr std::size_t kChars = 16;

struct Buffer {
  wchar_t sz[kChars];
  Buffer() { std::wmemset(sz, L'#', kChars); }
};

struct FitCase {
  std::size_t cch;  // the size passed is cch characters' worth of bytes
  const wchar_t* pszArgument;
  HRESULT hrExpected;
  const wchar_t* pszExpected;
};

constexpr FitCase kFitCases[] = {
    {8, L"", S_OK, L""},
    {8, L"abcdef", S_OK, L"abcdef"},
    {8, L"abcdefg", S_OK, L"abcdefg"},  // exactly capacity - 1
    {8, L"abcdefgh", kInsufficientBuffer, L"abcdefg"},
    {8, L"abcdefghijkl", kInsufficientBuffer, L"abcdefg"},
    {2, L"xy", kInsufficientBuffer, L"x"},
    {1, L"xy", kInsufficientBuffer, L""},  // room for the terminator only
    {1, L"", S_OK, L""},
};

}  // namespace

TEST(StringCbPrintfW, CapacityIsSizeInBytesOverCharacterSize) {
  for (const FitCase& c : kFitCases) {
    Buffer buffer;
    const HRESULT hr = StringCbPrintfW(buffer.sz, c.cch * sizeof(wchar_t), L"%ls", c.pszArgument);
    EXPECT_EQ(hr, c.hrExpected) << "capacity " << c.cch;
    EXPECT_STREQ(buffer.sz, c.pszExpected) << "capacity " << c.cch;
    EXPECT_EQ(buffer.sz[c.cch], L'#') << "wrote past capacity " << c.cch;
  }
}

TEST(StringCbPrintfW, SizeThatIsNotAWholeCharacterCountIsRoundedDown) {
  Buffer buffer;
  const HRESULT hr = StringCbPrintfW(buffer.sz, 3 * sizeof(wchar_t) + 1, L"%ls", L"abcd");
  EXPECT_EQ(hr, kInsufficientBuffer);
  EXPECT_STREQ(buffer.sz, L"ab");
  EXPECT_EQ(buffer.sz[3], L'#');
}

// Less than one character, or more than the largest count the function takes
// (a size computed wrongly): rejected before anything is written.
TEST(StringCbPrintfW, AnImpossibleSizeIsRejectedAndNothingWritten) {
  for (const std::size_t cb : {std::size_t{0}, sizeof(wchar_t) - 1,
                               (static_cast<std::size_t>(STRSAFE_MAX_CCH) + 1) * sizeof(wchar_t)}) {
    Buffer buffer;
    EXPECT_EQ(StringCbPrintfW(buffer.sz, cb, L"%ls", L"abc"), kInvalidParameter) << cb;
    EXPECT_EQ(buffer.sz[0], L'#') << cb;
  }
}

TEST(StringCbPrintfW, ConvertsNumbersLikeTheCLibrary) {
  Buffer buffer;
  EXPECT_EQ(StringCbPrintfW(buffer.sz, sizeof(buffer.sz), L"%.2f|%d|%u", 2.5, -42, 7u), S_OK);
  EXPECT_STREQ(buffer.sz, L"2.50|-42|7");
}

TEST(StringCbPrintfW, CutNumberTextIsTerminated) {
  Buffer buffer;
  EXPECT_EQ(StringCbPrintfW(buffer.sz, 5 * sizeof(wchar_t), L"%.3f kB/s", 123.456),
            kInsufficientBuffer);
  EXPECT_STREQ(buffer.sz, L"123.");
}
