// Counter arithmetic on figures from the router and the adapters: deltas,
// the 32-bit wrap, rates, the tracker that chains them and the record's
// Sequence, each against a reference computed in 128 bits, where nothing can
// wrap by accident.
//
// Input: steps of one tag byte and the numbers it names (see the switch).

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

#include "publisher/sources/CounterDelta.h"
#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "publisher/record/TrafficRecord.h"

namespace {

using u128 = unsigned __int128;

constexpr u128 kWrap32 = u128{1} << 32;
constexpr u128 kInt64Max = static_cast<u128>(std::numeric_limits<std::int64_t>::max());
constexpr u128 kMaxU64 = std::numeric_limits<std::uint64_t>::max();

std::optional<u128> ReferenceDelta(u128 nPrev, u128 nCur, bool bWrap32, u128 nMaxWrap) {
  if (nCur >= nPrev) {
    return nCur - nPrev;
  }
  if (!bWrap32 || nPrev >= kWrap32) {
    return std::nullopt;
  }
  const u128 nWrapped = kWrap32 - nPrev + nCur;
  if (nWrapped > nMaxWrap) {
    return std::nullopt;
  }
  return nWrapped;
}

// Bytes per second rounded to nearest, saturated at the largest rate.
std::optional<u128> ReferenceRate(u128 nDelta, u128 nElapsedMs) {
  if (nElapsedMs == 0) {
    return std::nullopt;
  }
  const u128 nRate = (nDelta * 1000 + nElapsedMs / 2) / nElapsedMs;
  return nRate < kInt64Max ? nRate : kInt64Max;
}

void CheckDelta(std::uint64_t nPrev, std::uint64_t nCur, bool bWrap32, std::uint64_t nMax) {
  const std::optional<std::uint64_t> nDelta = CounterDelta(nPrev, nCur, bWrap32, nMax);
  const std::optional<u128> nExpected = ReferenceDelta(nPrev, nCur, bWrap32, nMax);
  FUZZ_CHECK(nDelta.has_value() == nExpected.has_value());
  FUZZ_CHECK(!nDelta || *nDelta == *nExpected);
}

void CheckRate(std::uint64_t nDelta, std::uint64_t nElapsedMs) {
  const std::optional<std::int64_t> nRate = RateFromDelta(nDelta, nElapsedMs);
  const std::optional<u128> nExpected = ReferenceRate(nDelta, nElapsedMs);
  FUZZ_CHECK(nRate.has_value() == nExpected.has_value());
  if (!nRate) {
    return;
  }
  FUZZ_CHECK(*nRate >= 0);
  // Deltas too large to scale by 1000 in 64 bits are divided first, which
  // may drop up to 1000 bytes per second, never more, and never adds any.
  const u128 nGot = static_cast<u128>(*nRate);
  FUZZ_CHECK(nGot <= *nExpected && *nExpected - nGot <= 1000);
  if (nDelta <= std::numeric_limits<std::int64_t>::max() / 1000) {
    FUZZ_CHECK(nGot == *nExpected);
  }
}

// The tracker's rules, restated in 128 bits.
class CReferenceTracker {
 public:
  explicit CReferenceTracker(CounterWidth width) : m_width(width) {}

  std::optional<u128> Add(u128 nValue, u128 nNowMs, u128 nMaxBytesPerSec) {
    if (nValue >= kWrap32) {
      m_bWide = true;
    }
    if (!m_bHasPrev || nNowMs < m_nPrevMs) {
      m_bHasPrev = true;
      m_nPrev = nValue;
      m_nPrevMs = nNowMs;
      return std::nullopt;
    }
    const u128 nElapsedMs = nNowMs - m_nPrevMs;
    if (nElapsedMs == 0) {
      return std::nullopt;
    }
    // Twice what the link carries in the interval, the product saturated at
    // 2^64 - 1; no bound, and no wrap, while the link is unknown.
    std::optional<u128> nBound;
    if (nMaxBytesPerSec != 0) {
      // Twice a link above 2^63 already exceeds 2^64 - 1 after one
      // millisecond; below it the product fits in 128 bits.
      const u128 nTwice = nMaxBytesPerSec * 2;
      const u128 nProduct = nTwice > kMaxU64 ? kMaxU64 : nTwice * nElapsedMs;
      nBound = (nProduct < kMaxU64 ? nProduct : kMaxU64) / 1000;
    }
    const bool bWrap32 = m_width == CounterWidth::Bits32OrWider && !m_bWide && nBound;
    const std::optional<u128> nDelta =
        ReferenceDelta(m_nPrev, nValue, bWrap32, nBound ? *nBound : 0);
    m_nPrev = nValue;
    m_nPrevMs = nNowMs;
    if (!nDelta || (nBound && *nDelta > *nBound)) {
      return std::nullopt;
    }
    return ReferenceRate(*nDelta, nElapsedMs);
  }

 private:
  CounterWidth m_width;
  bool m_bHasPrev = false;
  bool m_bWide = false;
  u128 m_nPrev = 0;
  u128 m_nPrevMs = 0;
};

void CheckSequence(std::uint64_t nPrev) {
  const std::uint64_t nNext = NextSequence(nPrev);
  const u128 nExpected = (u128{nPrev} + 1) % (u128{1} << 64);
  FUZZ_CHECK(nNext != 0 && nNext != nPrev);
  FUZZ_CHECK(nNext == (nExpected == 0 ? 1 : nExpected));
  FUZZ_CHECK(FirstSequence(nPrev) != 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData) {
  CFuzzInput input(pData, cbData);
  const CounterWidth width =
      input.Take<std::uint8_t>() & 1 ? CounterWidth::Bits32OrWider : CounterWidth::Bits64;
  CCounterRateTracker tracker(width);
  CReferenceTracker reference(width);
  std::uint64_t nNowMs = 0;
  while (!input.Empty()) {
    const auto nTag = input.Take<std::uint8_t>();
    switch (nTag % 4) {
      case 0: {
        const auto nPrev = input.Take<std::uint64_t>();
        const auto nCur = input.Take<std::uint64_t>();
        CheckDelta(nPrev, nCur, (nTag & 4) != 0, input.Take<std::uint64_t>());
        break;
      }
      case 1: {
        const auto nDelta = input.Take<std::uint64_t>();
        CheckRate(nDelta, input.Take<std::uint64_t>());
        break;
      }
      case 2: {
        // A reading: 32-bit counters are read as such unless the tag says
        // otherwise; the clock mostly moves on a little, sometimes by any step.
        std::uint64_t nValue = input.Take<std::uint64_t>();
        if ((nTag & 4) == 0) {
          nValue &= 0xFFFFFFFF;
        }
        const std::uint64_t nStep =
            (nTag & 8) != 0 ? input.Take<std::uint64_t>() : input.Take<std::uint16_t>();
        nNowMs = (nTag & 16) != 0 ? nStep : nNowMs + (nStep < ~nNowMs ? nStep : 0);
        const auto nMaxBytesPerSec = input.Take<std::uint64_t>();
        const std::optional<std::int64_t> nRate = tracker.Add(nValue, nNowMs, nMaxBytesPerSec);
        const std::optional<u128> nExpected = reference.Add(nValue, nNowMs, nMaxBytesPerSec);
        FUZZ_CHECK(nRate.has_value() == nExpected.has_value());
        FUZZ_CHECK(!nRate || (*nRate >= 0 && static_cast<u128>(*nRate) <= *nExpected &&
                              *nExpected - static_cast<u128>(*nRate) <= 1000));
        // Never above twice a known link.
        FUZZ_CHECK(!nRate || nMaxBytesPerSec == 0 ||
                   static_cast<u128>(*nRate) <= u128{nMaxBytesPerSec} * 2);
        break;
      }
      default:
        CheckSequence(input.Take<std::uint64_t>());
        break;
    }
  }
  return 0;
}
