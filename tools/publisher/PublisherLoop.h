#pragma once
// The publishing loop: one reading per interval, a record for each sample,
// "No Data" with backoff while the source fails, until hStop is signalled.

#include <windows.h>

#include "PublisherOptions.h"
#include "PublisherOutput.h"
#include "TrafficSectionWriter.h"
#include "TrafficSource.h"

enum PublisherExit : int {
  kExitOk = 0,
  kExitSourceFailed = 1,  // --once and the source failed
  kExitUsage = 2,
  kExitSourceSetup = 3,  // router unreachable or malformed, adapter missing
  kExitAlreadyRunning = 4,
  kExitSectionFailed = 5,
  kExitNotRunning = 6,  // --stop found no publisher
};

[[nodiscard]] std::uint64_t MonotonicMs() noexcept;

[[nodiscard]] int RunPublisherLoop(const PublisherOptions& options, ITrafficSource& source,
                                   CTrafficSectionWriter& writer, HANDLE hStop,
                                   COutputSink& output) noexcept;
