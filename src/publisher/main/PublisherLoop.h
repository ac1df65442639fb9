#pragma once
// The publishing loop: one reading per interval, a record for each sample,
// "No Data" with backoff while the source fails, until hStop is signalled.
// Colours not given follow the taskbar's look: when hThemeChanged (may be
// null) is set, the look is read again and the last figures published again
// in its colours, so the band changes with the taskbar, not an interval later.

#include <windows.h>

#include "publisher/main/PublisherExit.h"
#include "publisher/options/PublisherOptions.h"
#include "publisher/output/PublisherOutput.h"
#include "publisher/record/TrafficSectionWriter.h"
#include "publisher/sources/TrafficSource.h"

[[nodiscard]] std::uint64_t MonotonicMs() noexcept;

[[nodiscard]] int RunPublisherLoop(const PublisherOptions& options, ITrafficSource& source,
                                   CTrafficSectionWriter& writer, HANDLE hStop, COutputSink& output,
                                   HANDLE hThemeChanged = nullptr) noexcept;
