#pragma once
// This PC's own traffic from the interface counters: every interface that
// carries traffic of its own (AdapterKind.h), or the one named by --adapter.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "publisher/sources/AdapterTotals.h"
#include "publisher/sources/TrafficSource.h"

class CAdapterSource final : public ITrafficSource {
 public:
  explicit CAdapterSource(std::wstring strName) : m_strName(std::move(strName)) {}

  [[nodiscard]] std::wstring Start() override;
  [[nodiscard]] SourceReading Read(std::uint64_t nNowMs) override;

 private:
  // The named adapter's row by its LUID; it is looked up by name again when
  // the LUID no longer answers (driver reinstalled, adapter re-plugged).
  [[nodiscard]] std::optional<AdapterTotals> ReadNamed();

  std::wstring m_strName;
  std::uint64_t m_nLuid = 0;
  CAdapterRateTracker m_tracker;
};

// Every interface the system lists; nothing when the table cannot be read.
[[nodiscard]] std::optional<std::vector<InterfaceCounters>> ReadInterfaceTable();
