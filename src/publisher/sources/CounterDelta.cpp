#include "publisher/sources/CounterDelta.h"

#include <limits>

namespace {
constexpr std::uint64_t kMaxU64 = std::numeric_limits<std::uint64_t>::max();
}  // namespace

std::optional<std::uint64_t> CounterDelta(std::uint64_t nPrev, std::uint64_t nCur, bool bWide32,
                                          std::uint64_t nMaxPlausibleDelta) noexcept {
  if (nCur >= nPrev) {
    return nCur - nPrev;
  }
  if (!bWide32 || nPrev >= kCounterWrap32) {
    return std::nullopt;
  }
  const std::uint64_t nWrapped = kCounterWrap32 - nPrev + nCur;
  if (nWrapped > nMaxPlausibleDelta) {
    return std::nullopt;
  }
  return nWrapped;
}

std::optional<std::uint64_t> LinkDeltaBound(std::uint64_t nLinkBytesPerSec,
                                            std::uint64_t nElapsedMs) noexcept {
  if (nLinkBytesPerSec == 0) {
    return std::nullopt;
  }
  // delta * 1000 <= 2 * link * elapsed, for whole bytes, is delta <= that / 1000.
  if (nLinkBytesPerSec > kMaxU64 / 2) {
    return kMaxU64 / 1000;
  }
  const std::uint64_t nTwice = nLinkBytesPerSec * 2;
  if (nElapsedMs != 0 && nTwice > kMaxU64 / nElapsedMs) {
    return kMaxU64 / 1000;
  }
  return nTwice * nElapsedMs / 1000;
}

bool IsPlausibleRate(std::int64_t nRate, std::uint64_t nLinkBytesPerSec) noexcept {
  if (nLinkBytesPerSec == 0 || nRate <= 0) {
    return true;
  }
  const auto nRateBytes = static_cast<std::uint64_t>(nRate);
  return nLinkBytesPerSec > kMaxU64 / 2 || nRateBytes <= nLinkBytesPerSec * 2;
}

std::optional<std::int64_t> RateFromDelta(std::uint64_t nDelta, std::uint64_t nElapsedMs) noexcept {
  if (nElapsedMs == 0) {
    return std::nullopt;
  }
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
                                                     std::uint64_t nLinkBytesPerSec) noexcept {
  if (nValue >= kCounterWrap32) {
    m_bWide = true;
  }
  if (!m_bHasPrev || nNowMs < m_nPrevMs) {
    m_bHasPrev = true;
    m_nPrev = nValue;
    m_nPrevMs = nNowMs;
    m_lastStep = CounterStep::Baseline;
    return std::nullopt;
  }
  const std::uint64_t nElapsedMs = nNowMs - m_nPrevMs;
  // Same instant: keep the older baseline so the next reading spans a real interval.
  if (nElapsedMs == 0) {
    m_lastStep = CounterStep::SameInstant;
    return std::nullopt;
  }

  const std::optional<std::uint64_t> nBound = LinkDeltaBound(nLinkBytesPerSec, nElapsedMs);
  // Without a link speed nothing tells a wrap from a reset, and a reset
  // taken for a wrap is a spike of up to 4 GB in one interval.
  const bool bWrap32 = m_width == CounterWidth::Bits32OrWider && !m_bWide && nBound.has_value();
  const std::optional<std::uint64_t> nDelta =
      CounterDelta(m_nPrev, nValue, bWrap32, nBound.value_or(0));
  m_nPrev = nValue;
  m_nPrevMs = nNowMs;
  if (!nDelta) {
    m_lastStep = CounterStep::Reset;
    return std::nullopt;
  }
  if (nBound && *nDelta > *nBound) {
    m_lastStep = CounterStep::Implausible;
    return std::nullopt;
  }
  m_lastStep = CounterStep::Rate;
  return RateFromDelta(*nDelta, nElapsedMs);
}
