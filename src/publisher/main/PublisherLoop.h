#pragma once
// The publishing loop: one reading per interval, a record for each sample,
// "No Data" with backoff while the source fails, until hStop is signalled.

#include <windows.h>

#include "publisher/main/PublisherExit.h"
#include "publisher/options/PublisherOptions.h"
#include "publisher/output/PublisherOutput.h"
#include "publisher/record/TrafficSectionWriter.h"
#include "publisher/sources/TrafficSource.h"

[[nodiscard]] std::uint64_t MonotonicMs() noexcept;

[[nodiscard]] int RunPublisherLoop(const PublisherOptions& options, ITrafficSource& source,
                                   CTrafficSectionWriter& writer, HANDLE hStop,
                                   COutputSink& output) noexcept;
