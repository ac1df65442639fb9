#include "publisher/sources/AdapterKind.h"

#include <cwctype>
#include <initializer_list>
#include <string_view>

namespace {

std::wstring Lower(std::wstring_view text) {
  std::wstring lower(text);
  for (wchar_t& ch : lower) {
    ch = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
  }
  return lower;
}

bool HasAny(const std::wstring& strLower, std::initializer_list<std::wstring_view> parts) {
  for (const std::wstring_view part : parts) {
    if (strLower.find(part) != std::wstring::npos) {
      return true;
    }
  }
  return false;
}

// Drivers that say they are hardware, or have a connector, although no wire
// or radio of their own is behind them; known by the names they give.
bool NamesAVirtualSwitch(const std::wstring& strAlias, const std::wstring& strDescription) {
  return strAlias.rfind(L"vethernet", 0) == 0 ||
         HasAny(strDescription, {L"hyper-v virtual ethernet", L"hyper-v virtual switch",
                                 L"virtualbox host-only", L"vmware virtual ethernet"});
}

bool NamesATunnel(const std::wstring& strDescription) {
  return HasAny(strDescription,
                {L"tap-windows", L"tap-win32", L"tap adapter", L"wintun", L"wireguard", L"openvpn",
                 L"tunnel", L"wan miniport", L"anyconnect", L"virtual miniport", L"vpn"});
}

}  // namespace

AdapterKind ClassifyAdapter(const InterfaceCounters& row) {
  if (!row.m_bUp) {
    return AdapterKind::Down;
  }
  if (row.m_nType == kIfTypeLoopback) {
    return AdapterKind::Loopback;
  }
  if (row.m_bFilter) {
    return AdapterKind::Filter;
  }
  // PPP: a dial-up, PPPoE or VPN connection over an adapter that counts its bytes too.
  if (row.m_nType == kIfTypeTunnel || row.m_nType == kIfTypePpp || row.m_nTunnelType != 0) {
    return AdapterKind::Tunnel;
  }
  const std::wstring strAlias = Lower(row.m_strAlias);
  const std::wstring strDescription = Lower(row.m_strDescription);
  if (NamesAVirtualSwitch(strAlias, strDescription)) {
    return AdapterKind::VirtualSwitch;
  }
  if (NamesATunnel(strDescription)) {
    return AdapterKind::Tunnel;
  }
  if (row.m_nType == kIfTypePropVirtual || (!row.m_bHardware && !row.m_bConnectorPresent) ||
      row.m_bEndPoint) {
    return AdapterKind::Virtual;
  }
  return AdapterKind::Counted;
}
