#pragma once
// From a source's sample to the record the band reads, and the record as one
// line of text for --once and --verbose.

#include <cstdint>
#include <limits>
#include <string>

#include "publisher/options/PublisherOptions.h"
#include "publisher/record/TrafficSample.h"
#include "common/SharedTrafficRecord.h"

// The next Sequence after nPrev; never 0, so a record is never mistaken for
// "nothing published yet".
[[nodiscard]] constexpr std::uint64_t NextSequence(std::uint64_t nPrev) noexcept {
  return nPrev == std::numeric_limits<std::uint64_t>::max() ? 1 : nPrev + 1;
}

// A first Sequence far from any earlier run's: the band keeps the last value
// it took across a publisher restart and would ignore a repeat. nClock is any
// clock that moves on between runs (100 ns FILETIME ticks on Windows).
[[nodiscard]] constexpr std::uint64_t FirstSequence(std::uint64_t nClock) noexcept {
  return nClock == 0 ? 1 : nClock;
}

// Option overrides of the full scale win over the source's values.
[[nodiscard]] SharedTrafficRecord BuildTrafficRecord(const TrafficSample& sample,
                                                     const PublisherOptions& options,
                                                     std::uint64_t nSequence) noexcept;

[[nodiscard]] std::wstring FormatTrafficRecord(const SharedTrafficRecord& record);
