#pragma once
// Which of this PC's network interfaces carry traffic of their own to the
// internet. Many do not: the loopback; filter drivers' views of another
// interface; tunnels and VPNs, whose bytes the physical adapter under them
// counts again (Teredo, IP-HTTPS, PPPoE, TAP, Wintun, WireGuard...); and the
// virtual switches of Hyper-V and WSL ("vEthernet (...)") and of other
// hypervisors, which lead to this PC's own virtual machines and, bridged,
// pass through a physical adapter that counts the same bytes. Summing them
// would count bytes twice and inflate the full scale with their made-up
// link speeds. The rule reads only what the interface table says of each
// interface (MIB_IF_ROW2), so it is pure.

#include <cstdint>
#include <string>

// The values MIB_IF_ROW2 gives, named here so that the rule needs no
// Windows header. IANA interface types (Type):
inline constexpr std::uint32_t kIfTypeEthernet = 6;
inline constexpr std::uint32_t kIfTypePpp = 23;
inline constexpr std::uint32_t kIfTypeLoopback = 24;
inline constexpr std::uint32_t kIfTypePropVirtual = 53;
inline constexpr std::uint32_t kIfTypeWifi = 71;
inline constexpr std::uint32_t kIfTypeTunnel = 131;
inline constexpr std::uint32_t kIfTypeMobileBroadband = 243;
// TunnelType: 0 is none. PhysicalMediumType (NDIS_PHYSICAL_MEDIUM):
inline constexpr std::uint32_t kMediumUnspecified = 0;
inline constexpr std::uint32_t kMediumWirelessWan = 8;
inline constexpr std::uint32_t kMediumWifi = 9;
inline constexpr std::uint32_t kMediumBluetooth = 10;
inline constexpr std::uint32_t kMedium8023 = 14;

struct InterfaceCounters {
  std::uint64_t m_nLuid = 0;
  std::wstring m_strAlias;        // "Ethernet", "Wi-Fi", "vEthernet (WSL)"
  std::wstring m_strDescription;  // the driver's name for the device
  std::uint32_t m_nType = kIfTypeEthernet;
  std::uint32_t m_nTunnelType = 0;
  std::uint32_t m_nPhysicalMedium = kMediumUnspecified;
  bool m_bUp = false;
  bool m_bHardware = false;          // NDIS: the interface is a device's
  bool m_bConnectorPresent = false;  // NDIS: it has a connector (a cable, a radio)
  bool m_bFilter = false;            // a filter driver's view of another interface
  bool m_bEndPoint = false;          // a device reached over a link, not a network
  std::uint64_t m_nInOctets = 0;
  std::uint64_t m_nOutOctets = 0;
  std::uint64_t m_nReceiveLinkBits = 0;  // bits per second, 0 unknown
  std::uint64_t m_nTransmitLinkBits = 0;
};

enum class AdapterKind {
  Counted,        // this PC's own traffic
  Down,           // not connected now
  Loopback,       // traffic within this PC
  Filter,         // another interface seen through a filter driver
  Tunnel,         // a tunnel or VPN over another interface that counts its bytes too
  VirtualSwitch,  // a hypervisor's switch to this PC's virtual machines
  Virtual,        // no device behind it, or a device reached over a link
};

[[nodiscard]] AdapterKind ClassifyAdapter(const InterfaceCounters& row);
