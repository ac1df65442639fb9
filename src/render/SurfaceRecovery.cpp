#include "render/SurfaceRecovery.h"

#include <algorithm>

bool IsDeviceLoss(HRESULT hr) noexcept {
  return hr == kDeviceRemoved || hr == kDeviceReset || hr == kRecreateTarget;
}

int RebuildWaitTicks(int nFailures) noexcept {
  int nWait = kFirstRebuildWaitTicks;
  for (int i = 1; i < nFailures && nWait < kMaxRebuildWaitTicks; ++i) {
    nWait *= 2;
  }
  return std::min(nWait, kMaxRebuildWaitTicks);
}

bool CRebuildSchedule::IsDueOnTick() noexcept {
  if (m_nWaitTicks > 0) {
    --m_nWaitTicks;
  }
  return m_nWaitTicks == 0;
}

void CRebuildSchedule::Failed() noexcept {
  ++m_nFailures;
  m_nWaitTicks = RebuildWaitTicks(m_nFailures);
}

void CRebuildSchedule::Reset() noexcept {
  m_nFailures = 0;
  m_nWaitTicks = 0;
}
