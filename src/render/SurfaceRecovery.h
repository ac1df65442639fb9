#pragma once
// A lost graphics device (a driver update, a GPU reset, some resume paths)
// makes every later call on the surface fail until the surface is built anew.
// Which failures say so, and when a surface that cannot be built yet is tried
// again: plain numbers, so that it is checked without any graphics interface.

#include "feed/PlatformTypes.h"

// The codes of a lost device: DXGI_ERROR_DEVICE_REMOVED, DXGI_ERROR_DEVICE_RESET
// (Present1, ResizeBuffers, GetBuffer, EndDraw passing them on) and
// D2DERR_RECREATE_TARGET (EndDraw, creating the target bitmap).
inline constexpr HRESULT kDeviceRemoved = static_cast<HRESULT>(0x887A0005U);
inline constexpr HRESULT kDeviceReset = static_cast<HRESULT>(0x887A0007U);
inline constexpr HRESULT kRecreateTarget = static_cast<HRESULT>(0x8899000CU);

[[nodiscard]] bool IsDeviceLoss(HRESULT hr) noexcept;

// In ticks of the band's 100 ms timer: the first try comes on the first tick
// after the loss; each try that fails doubles the wait before the next one,
// from 2 ticks up to 30 s.
inline constexpr int kFirstRebuildWaitTicks = 2;
inline constexpr int kMaxRebuildWaitTicks = 300;

// The wait after nFailures tries in a row have failed (nFailures >= 1).
[[nodiscard]] int RebuildWaitTicks(int nFailures) noexcept;

class CRebuildSchedule {
 public:
  // One tick of a lost surface: true when this tick tries to build it.
  [[nodiscard]] bool IsDueOnTick() noexcept;
  // The try failed: the next one waits longer.
  void Failed() noexcept;
  // Built again (or never lost): the next loss is tried on the next tick.
  void Reset() noexcept;

  // Tries that have failed since the loss.
  [[nodiscard]] int Failures() const noexcept { return m_nFailures; }

 private:
  int m_nFailures = 0;
  int m_nWaitTicks = 0;
};
