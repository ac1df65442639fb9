#pragma once

#include "publisher/sources/DemoTraffic.h"
#include "publisher/sources/TrafficSource.h"

class CDemoSource final : public ITrafficSource {
 public:
  explicit CDemoSource(std::uint64_t nSeed) noexcept : m_demo(nSeed) {}
  [[nodiscard]] std::wstring Start() override { return {}; }
  [[nodiscard]] SourceReading Read(std::uint64_t) override { return SampleReading(m_demo.Next()); }

 private:
  CDemoTraffic m_demo;
};
