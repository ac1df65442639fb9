#include "publisher/sources/AdapterTotals.h"

#include <algorithm>
#include <cwctype>

namespace {

bool SameText(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
           return std::towlower(static_cast<wint_t>(x)) == std::towlower(static_cast<wint_t>(y));
         });
}

// Drivers report "unknown" as all ones; such a figure would make every bar empty.
std::uint64_t LinkBytes(std::uint64_t nBits) {
  return nBits >= (std::uint64_t{1} << 62) ? 0 : nBits / 8;
}

}  // namespace

std::optional<AdapterTotals> SumAdapters(const std::vector<InterfaceCounters>& interfaces,
                                         std::wstring_view strName) {
  AdapterTotals totals;
  bool bMatched = false;
  for (const InterfaceCounters& row : interfaces) {
    if (strName.empty()) {
      if (ClassifyAdapter(row) != AdapterKind::Counted) {
        continue;
      }
    } else if (!SameText(row.m_strAlias, strName) && !SameText(row.m_strDescription, strName)) {
      continue;
    }
    bMatched = true;
    totals.m_luids.push_back(row.m_nLuid);
    totals.m_nInOctets += row.m_nInOctets;
    totals.m_nOutOctets += row.m_nOutOctets;
    totals.m_nMaxDown += LinkBytes(row.m_nReceiveLinkBits);
    totals.m_nMaxUp += LinkBytes(row.m_nTransmitLinkBits);
    if (!strName.empty()) {
      break;
    }
  }
  if (!strName.empty() && !bMatched) {
    return std::nullopt;
  }
  std::sort(totals.m_luids.begin(), totals.m_luids.end());
  return totals;
}

std::optional<TrafficSample> CAdapterRateTracker::Add(const AdapterTotals& totals,
                                                      std::uint64_t nNowMs) noexcept {
  const bool bGap =
      m_nLastMs && (nNowMs < *m_nLastMs || nNowMs - *m_nLastMs > kLongestReadingGapMs);
  if (totals.m_luids != m_luids || bGap) {
    m_luids = totals.m_luids;
    m_down.Forget();
    m_up.Forget();
  }
  m_nLastMs = nNowMs;
  const std::optional<std::int64_t> nDown = m_down.Add(totals.m_nInOctets, nNowMs);
  const std::optional<std::int64_t> nUp = m_up.Add(totals.m_nOutOctets, nNowMs);
  if (!nDown || !nUp) {
    return std::nullopt;
  }
  TrafficSample sample;
  sample.m_nRateDown = *nDown;
  sample.m_nRateUp = *nUp;
  sample.m_nMaxDown = static_cast<std::int64_t>(totals.m_nMaxDown);
  sample.m_nMaxUp = static_cast<std::int64_t>(totals.m_nMaxUp);
  return sample;
}

void CAdapterRateTracker::Forget() noexcept {
  m_luids.clear();
  m_nLastMs.reset();
  m_down.Forget();
  m_up.Forget();
}
