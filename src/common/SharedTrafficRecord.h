#pragma once
// The record the publisher keeps at offset 0 of the shared section. Nine
// little-endian 8-byte fields; no header, magic or version.

#include <cstddef>
#include <cstdint>

inline constexpr wchar_t kTrafficSectionName[] = L"Fritz!Box-Traffic-MappingObject";

struct SharedTrafficRecord {
  std::uint64_t Sequence;     // 0: nothing published yet; otherwise only tested for change
  std::int64_t RateDown;      // bytes/s, always drawn with the down arrow; < 0: no value
  std::int64_t RateUp;        // bytes/s, always drawn with the up arrow; < 0: no value
  std::int64_t MaxDown;       // full scale of RateDown's bar; <= 0: no bar
  std::int64_t MaxUp;         // full scale of RateUp's bar; <= 0: no bar
  std::uint64_t ColorDown;    // 0x00RRGGBB in the low 24 bits
  std::uint64_t ColorUp;      // 0x00RRGGBB in the low 24 bits
  std::uint64_t ByteUnits;    // nonzero: kB/s, MB/s, GB/s; zero: Mbit/s, Gbit/s
  std::uint64_t DownOnLower;  // nonzero: RateDown on the lower line; zero: swapped
};

static_assert(sizeof(SharedTrafficRecord) == 72);
static_assert(offsetof(SharedTrafficRecord, Sequence) == 0);
static_assert(offsetof(SharedTrafficRecord, RateDown) == 8);
static_assert(offsetof(SharedTrafficRecord, RateUp) == 16);
static_assert(offsetof(SharedTrafficRecord, MaxDown) == 24);
static_assert(offsetof(SharedTrafficRecord, MaxUp) == 32);
static_assert(offsetof(SharedTrafficRecord, ColorDown) == 40);
static_assert(offsetof(SharedTrafficRecord, ColorUp) == 48);
static_assert(offsetof(SharedTrafficRecord, ByteUnits) == 56);
static_assert(offsetof(SharedTrafficRecord, DownOnLower) == 64);
