#include "publisher/sources/AdapterSource.h"

#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
#include <netioapi.h>

namespace {

InterfaceCounters FromRow(const MIB_IF_ROW2& row) {
  InterfaceCounters counters;
  counters.m_nLuid = row.InterfaceLuid.Value;
  counters.m_strAlias = row.Alias;
  counters.m_strDescription = row.Description;
  counters.m_nType = row.Type;
  counters.m_nTunnelType = static_cast<std::uint32_t>(row.TunnelType);
  counters.m_nPhysicalMedium = static_cast<std::uint32_t>(row.PhysicalMediumType);
  counters.m_bUp = row.OperStatus == IfOperStatusUp;
  counters.m_bHardware = row.InterfaceAndOperStatusFlags.HardwareInterface != FALSE;
  counters.m_bConnectorPresent = row.InterfaceAndOperStatusFlags.ConnectorPresent != FALSE;
  counters.m_bFilter = row.InterfaceAndOperStatusFlags.FilterInterface != FALSE;
  counters.m_bEndPoint = row.InterfaceAndOperStatusFlags.EndPointInterface != FALSE;
  counters.m_nInOctets = row.InOctets;
  counters.m_nOutOctets = row.OutOctets;
  counters.m_nReceiveLinkBits = row.ReceiveLinkSpeed;
  counters.m_nTransmitLinkBits = row.TransmitLinkSpeed;
  return counters;
}

std::wstring NoSuchAdapter(const std::wstring& strName) {
  return L"no network adapter is called '" + strName +
         L"'; leave out --adapter to sum this PC's own adapters, or see the names with "
         L"'Get-NetAdapter' in "
         L"PowerShell";
}

}  // namespace

std::optional<std::vector<InterfaceCounters>> ReadInterfaceTable() {
  MIB_IF_TABLE2* pTable = nullptr;
  if (GetIfTable2(&pTable) != NO_ERROR || pTable == nullptr) {
    return std::nullopt;
  }
  std::vector<InterfaceCounters> rows;
  rows.reserve(pTable->NumEntries);
  for (ULONG i = 0; i < pTable->NumEntries; ++i) {
    rows.push_back(FromRow(pTable->Table[i]));
  }
  FreeMibTable(pTable);
  return rows;
}

std::wstring CAdapterSource::Start() {
  const auto rows = ReadInterfaceTable();
  if (!rows) {
    return L"cannot read this PC's network interfaces (GetIfTable2 failed); try --source demo";
  }
  if (m_strName.empty()) {
    return {};
  }
  const auto totals = SumAdapters(*rows, m_strName);
  if (!totals) {
    return NoSuchAdapter(m_strName);
  }
  m_nLuid = totals->m_luids.front();
  return {};
}

std::optional<AdapterTotals> CAdapterSource::ReadNamed() {
  MIB_IF_ROW2 row{};
  row.InterfaceLuid.Value = m_nLuid;
  if (GetIfEntry2(&row) == NO_ERROR) {
    auto totals = SumAdapters({FromRow(row)}, m_strName);
    if (totals) {
      return totals;
    }
  }
  const auto rows = ReadInterfaceTable();
  if (!rows) {
    return std::nullopt;
  }
  auto totals = SumAdapters(*rows, m_strName);
  if (totals) {
    m_nLuid = totals->m_luids.front();
  }
  return totals;
}

SourceReading CAdapterSource::Read(std::uint64_t nNowMs) {
  std::optional<AdapterTotals> totals;
  if (m_strName.empty()) {
    const auto rows = ReadInterfaceTable();
    if (!rows) {
      m_tracker.Forget();
      return FailedReading(L"cannot read this PC's network interfaces (GetIfTable2 failed)");
    }
    totals = SumAdapters(*rows, L"");
  } else {
    totals = ReadNamed();
    if (!totals) {
      m_tracker.Forget();
      return FailedReading(NoSuchAdapter(m_strName));
    }
  }
  const auto sample = m_tracker.Add(*totals, nNowMs);
  if (!sample) {
    return {};
  }
  return SampleReading(*sample);
}
