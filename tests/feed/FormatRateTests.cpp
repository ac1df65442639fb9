#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <limits>
#include <string>

#include "feed/FormatRate.h"

namespace {

struct RateCase {
  std::int64_t nRate;
  const wchar_t* pszText;
};

std::wstring Format(std::int64_t nRate, BOOL bBitsMode) {
  wchar_t szBuffer[kRateTextChars];
  return FormatRate(nRate, bBitsMode, szBuffer);
}

// Each range's first value and its neighbours, plus the listed edge values.
constexpr RateCase kByteCases[] = {
    {0, L"0.000 kB/s"},
    {1, L"0.001 kB/s"},
    {10238, L"9.998 kB/s"},
    {10239, L"10.00 kB/s"},
    {10240, L"10.00 kB/s"},
    {102389, L"99.99 kB/s"},
    {102390, L"100.0 kB/s"},
    {102391, L"100.0 kB/s"},
    {1023897, L"999.9 kB/s"},
    {1023898, L"0.976 MB/s"},
    {1023899, L"0.976 MB/s"},
    {10484711, L"9.999 MB/s"},
    {10484712, L"10.00 MB/s"},
    {10484713, L"10.00 MB/s"},
    {104847114, L"99.99 MB/s"},
    {104847115, L"100.0 MB/s"},
    {104847116, L"100.0 MB/s"},
    {1048471142, L"999.9 MB/s"},
    {1048471143, L"0.976 GB/s"},
    {1048471144, L"0.976 GB/s"},
    {10736773993, L"9.999 GB/s"},
    {10736773994, L"10.00 GB/s"},
    {10736773995, L"10.00 GB/s"},
    {107373538153, L"100.00 GB/s"},
    {107373538154, L"100.0 GB/s"},
    {107373538155, L"100.0 GB/s"},
    {1073677399489, L"999.9 GB/s"},
    {1073677399490, L"1000 GB/s"},
    {1073677399491, L"1000 GB/s"},
    {std::int64_t{1} << 40, L"1024 GB/s"},
    {std::numeric_limits<std::int64_t>::max(), L"8589934592 GB/s"},
};

constexpr RateCase kBitCases[] = {
    {0, L"0.000 Mbit/s"},
    {1, L"0.000 Mbit/s"},
    {1310587, L"9.999 Mbit/s"},
    {1310588, L"9.999 Mbit/s"},
    {1310589, L"10.00 Mbit/s"},
    {1310590, L"10.00 Mbit/s"},
    {13105888, L"99.99 Mbit/s"},
    {13105889, L"99.99 Mbit/s"},
    {13105890, L"100.0 Mbit/s"},
    {13105891, L"100.0 Mbit/s"},
    {131058891, L"999.9 Mbit/s"},
    {131058892, L"999.9 Mbit/s"},
    {131058893, L"0.976 Gbit/s"},
    {131058894, L"0.976 Gbit/s"},
    {1342096748, L"9.999 Gbit/s"},
    {1342096749, L"9.999 Gbit/s"},
    {1342096750, L"10.00 Gbit/s"},
    {1342096751, L"10.00 Gbit/s"},
    {13421692268, L"100.00 Gbit/s"},
    {13421692269, L"100.00 Gbit/s"},
    {13421692270, L"100.0 Gbit/s"},
    {13421692271, L"100.0 Gbit/s"},
    {134209674935, L"999.9 Gbit/s"},
    {134209674936, L"999.9 Gbit/s"},
    {134209674937, L"1000 Gbit/s"},
    {134209674938, L"1000 Gbit/s"},
    {std::numeric_limits<std::int64_t>::max(), L"68719476736 Gbit/s"},
};

constexpr std::int64_t kNegativeRates[] = {-1, -2, std::numeric_limits<std::int64_t>::min()};

}  // namespace

TEST(FormatRate, ByteUnitsPickUnitAndPrecisionByRange) {
  for (const RateCase& c : kByteCases) {
    EXPECT_EQ(Format(c.nRate, FALSE), c.pszText) << "rate " << c.nRate;
  }
}

TEST(FormatRate, BitUnitsPickUnitAndPrecisionByRange) {
  for (const RateCase& c : kBitCases) {
    EXPECT_EQ(Format(c.nRate, TRUE), c.pszText) << "rate " << c.nRate;
  }
}

TEST(FormatRate, AnyNonzeroModeMeansBitUnits) {
  EXPECT_EQ(Format(1310589, 2), L"10.00 Mbit/s");
  EXPECT_EQ(Format(1310589, -1), L"10.00 Mbit/s");
}

TEST(FormatRate, WritesIntoTheCallersBufferAndReturnsIt) {
  for (const BOOL bBitsMode : {FALSE, TRUE}) {
    wchar_t szBuffer[kRateTextChars] = {};
    const wchar_t* pszText = FormatRate(123456789, bBitsMode, szBuffer);
    EXPECT_EQ(pszText, szBuffer);
    EXPECT_NE(szBuffer[0], L'\0');
  }
}

TEST(FormatRate, NegativeRateGivesNoDataAndLeavesTheBufferAlone) {
  for (const BOOL bBitsMode : {FALSE, TRUE}) {
    for (const std::int64_t nRate : kNegativeRates) {
      wchar_t szBuffer[kRateTextChars];
      std::wmemset(szBuffer, L'#', kRateTextChars);
      const wchar_t* pszText = FormatRate(nRate, bBitsMode, szBuffer);
      EXPECT_STREQ(pszText, L"No Data") << "rate " << nRate;
      EXPECT_NE(pszText, szBuffer);
      for (const wchar_t ch : szBuffer) {
        ASSERT_EQ(ch, L'#') << "rate " << nRate;
      }
    }
  }
}

TEST(FormatRate, NoDataIsOneConstantTextNotACopy) {
  wchar_t szFirst[kRateTextChars];
  wchar_t szSecond[kRateTextChars];
  EXPECT_EQ(FormatRate(-1, FALSE, szFirst), FormatRate(-7, TRUE, szSecond));
}

TEST(FormatRate, LongestTextFitsTheLineBuffer) {
  wchar_t szBuffer[kRateTextChars];
  std::wmemset(szBuffer, L'#', kRateTextChars);
  const std::wstring text = FormatRate(std::numeric_limits<std::int64_t>::max(), TRUE, szBuffer);
  EXPECT_EQ(text.size(), 18u);
  EXPECT_EQ(szBuffer[18], L'\0');
  EXPECT_EQ(szBuffer[19], L'#');  // nothing written past the terminator
}
