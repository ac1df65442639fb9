#include "publisher/record/TrafficRecord.h"

#include <cwchar>

SharedTrafficRecord BuildTrafficRecord(const TrafficSample& sample, const PublisherOptions& options,
                                       std::uint64_t nSequence) noexcept {
  SharedTrafficRecord record{};
  record.Sequence = nSequence;
  record.RateDown = sample.m_nRateDown < 0 ? -1 : sample.m_nRateDown;
  record.RateUp = sample.m_nRateUp < 0 ? -1 : sample.m_nRateUp;
  record.MaxDown = options.m_nMaxDown >= 0 ? options.m_nMaxDown : sample.m_nMaxDown;
  record.MaxUp = options.m_nMaxUp >= 0 ? options.m_nMaxUp : sample.m_nMaxUp;
  record.ColorDown = options.m_nColorDown & 0xFFFFFF;
  record.ColorUp = options.m_nColorUp & 0xFFFFFF;
  record.ByteUnits = options.m_bByteUnits ? 1 : 0;
  record.DownOnLower = options.m_bDownOnLower ? 1 : 0;
  return record;
}

std::wstring FormatTrafficRecord(const SharedTrafficRecord& record) {
  wchar_t szLine[256];
  std::swprintf(
      szLine, std::size(szLine),
      L"seq=%llu down=%lld up=%lld max-down=%lld max-up=%lld color-down=%06llX color-up=%06llX "
      L"units=%ls down-on=%ls",
      static_cast<unsigned long long>(record.Sequence), static_cast<long long>(record.RateDown),
      static_cast<long long>(record.RateUp), static_cast<long long>(record.MaxDown),
      static_cast<long long>(record.MaxUp), static_cast<unsigned long long>(record.ColorDown),
      static_cast<unsigned long long>(record.ColorUp), record.ByteUnits ? L"bytes" : L"bits",
      record.DownOnLower ? L"lower" : L"upper");
  return szLine;
}
