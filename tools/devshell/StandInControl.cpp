#include "devshell/StandInControl.h"

std::wstring StandInLoseDeviceEventName(std::uint32_t nProcessId) {
  return kStandInLoseDevicePrefix + std::to_wstring(nProcessId);
}
