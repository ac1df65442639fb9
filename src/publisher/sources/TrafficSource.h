#pragma once
// What the publishing loop asks of a source once per interval.

#include <cstdint>
#include <string>

#include "publisher/record/TrafficSample.h"

struct SourceReading {
  enum class Kind {
    Sample,  // publish m_sample
    Skip,    // nothing to publish yet: a baseline, or a discontinuity skipped
    Failed,  // publish "No Data" and try again later
  };
  Kind m_kind = Kind::Skip;
  TrafficSample m_sample;
  std::wstring m_strError;  // for Failed: what went wrong, one line
};

class ITrafficSource {
 public:
  virtual ~ITrafficSource() = default;
  // Empty when the source can run; otherwise one line saying what and what to do.
  [[nodiscard]] virtual std::wstring Start() = 0;
  // nNowMs comes from a monotonic clock.
  [[nodiscard]] virtual SourceReading Read(std::uint64_t nNowMs) = 0;
};

[[nodiscard]] inline SourceReading SampleReading(const TrafficSample& sample) {
  SourceReading reading;
  reading.m_kind = SourceReading::Kind::Sample;
  reading.m_sample = sample;
  return reading;
}

[[nodiscard]] inline SourceReading FailedReading(std::wstring strError) {
  SourceReading reading;
  reading.m_kind = SourceReading::Kind::Failed;
  reading.m_sample = kNoDataSample;
  reading.m_strError = std::move(strError);
  return reading;
}
