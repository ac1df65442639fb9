#include "CounterDelta.h"

#include <limits>

namespace {
constexpr std::uint64_t kWrap32 = std::uint64_t{1} << 32;
// Without a link speed a wrap may imply at most half the counter's range.
constexpr std::uint64_t kDefaultMaxWrapDelta = kWrap32 / 2;
}  // namespace

std::optional<std::uint64_t> CounterDelta(std::uint64_t nPrev, std::uint64_t nCur, bool bWide32,
                                          std::uint64_t nMaxPlausibleDelta) noexcept {
  if (nCur >= nPrev) return nCur - nPrev;
  if (!bWide32 || nPrev >= kWrap32) return std::nullopt;
  const std::uint64_t nWrapped = kWrap32 - nPrev + nCur;
  if (nWrapped > nMaxPlausibleDelta) return std::nullopt;
  return nWrapped;
}

std::optional<std::int64_t> RateFromDelta(std::uint64_t nDelta, std::uint64_t nElapsedMs) noexcept {
  if (nElapsedMs == 0) return std::nullopt;
  constexpr std::uint64_t kMax =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (nDelta > kMax / 1000) {
    const std::uint64_t nRate = nDelta / nElapsedMs;
    return static_cast<std::int64_t>(nRate > kMax / 1000 ? kMax : nRate * 1000);
  }
  const std::uint64_t nRate = (nDelta * 1000 + nElapsedMs / 2) / nElapsedMs;
  return static_cast<std::int64_t>(nRate);
}

std::optional<std::int64_t> CCounterRateTracker::Add(std::uint64_t nValue, std::uint64_t nNowMs,
                                                     std::uint64_t nMaxBytesPerSec) noexcept {
  if (nValue >= kWrap32) m_bWide = true;
  if (!m_bHasPrev || nNowMs < m_nPrevMs) {
    m_bHasPrev = true;
    m_nPrev = nValue;
    m_nPrevMs = nNowMs;
    return std::nullopt;
  }
  const std::uint64_t nElapsedMs = nNowMs - m_nPrevMs;
  // Same instant: keep the older baseline so the next reading spans a real interval.
  if (nElapsedMs == 0) return std::nullopt;

  std::uint64_t nMaxWrap = kDefaultMaxWrapDelta;
  if (nMaxBytesPerSec != 0 && nMaxBytesPerSec < kDefaultMaxWrapDelta) {
    // Twice the link's capacity over the interval leaves room for a late reading.
    // An interval too long for the product (weeks asleep) is far beyond the
    // default bound anyway.
    const std::uint64_t nTwicePerSec = nMaxBytesPerSec * 2;
    if (nElapsedMs <= std::numeric_limits<std::uint64_t>::max() / nTwicePerSec) {
      const std::uint64_t nByLink = nTwicePerSec * nElapsedMs / 1000 + 1;
      if (nByLink < nMaxWrap) nMaxWrap = nByLink;
    }
  }
  const bool bWrap32 = m_width == CounterWidth::Bits32OrWider && !m_bWide;
  const std::optional<std::uint64_t> nDelta = CounterDelta(m_nPrev, nValue, bWrap32, nMaxWrap);
  m_nPrev = nValue;
  m_nPrevMs = nNowMs;
  if (!nDelta) return std::nullopt;
  return RateFromDelta(*nDelta, nElapsedMs);
}
