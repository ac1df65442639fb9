#pragma once
// How long a failing source waits before its next try: doubling from one
// interval up to half a minute, so a router that is rebooting is not hammered
// and one that is back is found again soon.

#include <cstdint>

inline constexpr std::uint32_t kMaxBackoffMs = 30'000;

[[nodiscard]] constexpr std::uint32_t BackoffDelayMs(std::uint32_t nIntervalMs,
                                                     unsigned nFailures) noexcept {
  if (nFailures == 0) {
    return nIntervalMs;
  }
  std::uint64_t nDelay = nIntervalMs;
  for (unsigned i = 1; i < nFailures && nDelay < kMaxBackoffMs; ++i) {
    nDelay *= 2;
  }
  if (nDelay > kMaxBackoffMs) {
    nDelay = nIntervalMs > kMaxBackoffMs ? nIntervalMs : kMaxBackoffMs;
  }
  return static_cast<std::uint32_t>(nDelay);
}
