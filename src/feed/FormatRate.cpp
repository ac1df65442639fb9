#include "feed/FormatRate.h"

#include "feed/StringFormat.h"

namespace {

constexpr double kKilo = 1024.0;
constexpr double kMega = 1048576.0;
constexpr double kGiga = 1073741824.0;

struct ByteTier {
  std::int64_t nBelow;  // this row applies while the rate is below this bound
  const wchar_t* pszFormat;
  double dDivisor;
};

struct BitTier {
  double dBelow;  // in bits per second
  const wchar_t* pszFormat;
  double dDivisor;
};

// Each bound is the first value of the next row: just under 10, 100 or 1000 of
// the current unit, so the first value of a new unit reads below 1 (0.976 MB/s).
// clang-format off
constexpr ByteTier kByteTiers[] = {
    {10239, L"%.3f kB/s", kKilo},
    {102390, L"%.2f kB/s", kKilo},
    {1023898, L"%.1f kB/s", kKilo},
    {10484712, L"%.3f MB/s", kMega},
    {104847115, L"%.2f MB/s", kMega},
    {1048471143, L"%.1f MB/s", kMega},
    {10736773994, L"%.3f GB/s", kGiga},
    {107373538154, L"%.2f GB/s", kGiga},
    {1073677399490, L"%.1f GB/s", kGiga},
};
constexpr ByteTier kByteTop = {0, L"%.0f GB/s", kGiga};

constexpr BitTier kBitTiers[] = {
    {10484712.0, L"%.3f Mbit/s", kMega},
    {104847115.0, L"%.2f Mbit/s", kMega},
    {1048471143.0, L"%.1f Mbit/s", kMega},
    {10736773994.0, L"%.3f Gbit/s", kGiga},
    {107373538154.0, L"%.2f Gbit/s", kGiga},
    {1073677399490.0, L"%.1f Gbit/s", kGiga},
};
constexpr BitTier kBitTop = {0.0, L"%.0f Gbit/s", kGiga};
// clang-format on

constexpr wchar_t kNoData[] = L"No Data";

// 128 bytes with the 2-byte wchar_t of Windows; the same 64 characters elsewhere.
constexpr std::size_t kRateTextBytes = kRateTextChars * sizeof(wchar_t);
#ifdef _WIN32
static_assert(kRateTextBytes == 128);
#endif

const ByteTier& FindByteTier(std::int64_t nRate) noexcept {
  for (const ByteTier& tier : kByteTiers) {
    if (nRate < tier.nBelow) {
      return tier;
    }
  }
  return kByteTop;
}

const BitTier& FindBitTier(double dBits) noexcept {
  for (const BitTier& tier : kBitTiers) {
    if (dBits < tier.dBelow) {
      return tier;
    }
  }
  return kBitTop;
}

}  // namespace

const wchar_t* FormatRate(std::int64_t nRate, BOOL bBitsMode, wchar_t* pszBuffer) noexcept {
  if (nRate < 0) {
    return kNoData;
  }
  const double dRate = static_cast<double>(nRate);
  if (!bBitsMode) {
    const ByteTier& tier = FindByteTier(nRate);
    (void)StringCbPrintfW(pszBuffer, kRateTextBytes, tier.pszFormat, dRate / tier.dDivisor);
    return pszBuffer;
  }
  const double dBits = 8.0 * dRate;
  const BitTier& tier = FindBitTier(dBits);
  (void)StringCbPrintfW(pszBuffer, kRateTextBytes, tier.pszFormat, dBits / tier.dDivisor);
  return pszBuffer;
}
