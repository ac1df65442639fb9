#include "publisher/main/PublisherLoop.h"

#include "publisher/sources/Backoff.h"
#include "publisher/record/TrafficRecord.h"
#include "publisher/system/TaskbarTheme.h"

std::uint64_t MonotonicMs() noexcept {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER counter{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  const auto nTicks = static_cast<std::uint64_t>(counter.QuadPart);
  const auto nPerSecond = static_cast<std::uint64_t>(frequency.QuadPart);
  return nTicks / nPerSecond * 1000 + nTicks % nPerSecond * 1000 / nPerSecond;
}

namespace {

std::uint64_t WallClockTicks() noexcept {
  FILETIME ft{};
  GetSystemTimeAsFileTime(&ft);
  return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

}  // namespace

int RunPublisherLoop(const PublisherOptions& options, ITrafficSource& source,
                     CTrafficSectionWriter& writer, HANDLE hStop, COutputSink& output,
                     HANDLE hThemeChanged) noexcept {
  std::uint64_t nSequence = 0;
  unsigned nFailures = 0;
  DWORD dwDelayMs = 0;
  std::wstring strLastError;
  PublisherOptions shown = options;
  const bool bFollowTheme = FollowsTaskbarTheme(options);
  if (bFollowTheme) {
    ApplyTaskbarTheme(shown, ReadTaskbarTheme());
  }
  bool bPublished = false;
  TrafficSample lastSample;
  const auto publish = [&](const TrafficSample& sample) {
    nSequence = nSequence == 0 ? FirstSequence(WallClockTicks()) : NextSequence(nSequence);
    const SharedTrafficRecord record = BuildTrafficRecord(sample, shown, nSequence);
    writer.Publish(record);
    if (options.m_bVerbose || options.m_bOnce) {
      output.Line(FormatTrafficRecord(record));
    }
    bPublished = true;
    lastSample = sample;
  };
  // Until the delay is over; false when told to stop.
  const auto wait = [&](DWORD dwMs) {
    const HANDLE handles[] = {hStop, hThemeChanged};
    const DWORD nHandles = hThemeChanged != nullptr ? 2 : 1;
    const ULONGLONG nEnd = GetTickCount64() + dwMs;
    for (;;) {
      const ULONGLONG nNow = GetTickCount64();
      const DWORD dwLeft = nNow >= nEnd ? 0 : static_cast<DWORD>(nEnd - nNow);
      const DWORD dwWait = WaitForMultipleObjects(nHandles, handles, FALSE, dwLeft);
      if (dwWait == WAIT_TIMEOUT) {
        return true;
      }
      if (dwWait != WAIT_OBJECT_0 + 1) {
        return false;
      }
      ResetEvent(hThemeChanged);
      if (!bFollowTheme) {
        continue;
      }
      const PublisherOptions before = shown;
      ApplyTaskbarTheme(shown, ReadTaskbarTheme());
      if (bPublished && !(shown == before)) {
        publish(lastSample);
      }
    }
  };
  for (;;) {
    if (!wait(dwDelayMs)) {
      return kExitOk;
    }

    const SourceReading reading = source.Read(MonotonicMs());
    // A reading cut short by the stop is no news: nothing is published or said of it.
    if (WaitForSingleObject(hStop, 0) != WAIT_TIMEOUT) {
      return kExitOk;
    }
    if (reading.m_kind == SourceReading::Kind::Skip) {
      dwDelayMs = options.m_nIntervalMs;
      continue;
    }

    publish(reading.m_sample);

    if (reading.m_kind == SourceReading::Kind::Sample) {
      if (nFailures != 0 && !options.m_bOnce) {
        output.Error(L"nimbrel-publisher: the source works again");
      }
      nFailures = 0;
      strLastError.clear();
      if (options.m_bOnce) {
        return kExitOk;
      }
      dwDelayMs = options.m_nIntervalMs;
      continue;
    }

    ++nFailures;
    dwDelayMs = BackoffDelayMs(options.m_nIntervalMs, nFailures);
    if (options.m_bOnce) {
      output.Error(L"nimbrel-publisher: " + reading.m_strError);
      return kExitSourceFailed;
    }
    // One line per kind of trouble, not one per retry.
    if (reading.m_strError != strLastError || options.m_bVerbose) {
      output.Error(L"nimbrel-publisher: " + reading.m_strError +
                   L"; showing No Data and retrying in " +
                   std::to_wstring((dwDelayMs + 999) / 1000) + L" s");
      strLastError = reading.m_strError;
    }
  }
}
