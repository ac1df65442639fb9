#include "ProcessMeter.h"

#include <algorithm>

namespace {

constexpr DWORD kHandleStep = 4;
constexpr DWORD kEmptySlotsAfterLast = 1024;
constexpr int kHandleCounts = 3;

// The handles open in the process, found one slot after the other: a slot is
// open when it can be duplicated. The search ends well past the last one.
[[nodiscard]] DWORD CountOpenHandles(HANDLE hProcess) noexcept {
  DWORD nOpen = 0;
  DWORD nEmpty = 0;
  for (UINT_PTR nValue = kHandleStep; nEmpty < kEmptySlotsAfterLast; nValue += kHandleStep) {
    HANDLE hCopy = nullptr;
    if (DuplicateHandle(hProcess, reinterpret_cast<HANDLE>(nValue), GetCurrentProcess(), &hCopy, 0,
                        FALSE, DUPLICATE_SAME_ACCESS)) {
      CloseHandle(hCopy);
      ++nOpen;
      nEmpty = 0;
    } else {
      ++nEmpty;
    }
  }
  return nOpen;
}

}  // namespace

ProcessUsage MeasureProcess(HANDLE hProcess) noexcept {
  ProcessUsage usage;
  GetProcessHandleCount(hProcess, &usage.m_nHandles);
  if (usage.m_nHandles == 0) {
    // A handle that lives for one operation (the poll's section) may be open
    // at one count and not at the next; a leaked one is open at all of them.
    usage.m_nHandles = CountOpenHandles(hProcess);
    for (int i = 1; i < kHandleCounts; ++i) {
      Sleep(10);
      usage.m_nHandles = std::min(usage.m_nHandles, CountOpenHandles(hProcess));
    }
  }
  MEMORY_BASIC_INFORMATION info{};
  for (const BYTE* p = nullptr; VirtualQueryEx(hProcess, p, &info, sizeof(info)) == sizeof(info) &&
                                static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize > p;
       p = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) {
      usage.m_cbPrivate += info.RegionSize;
    } else if (info.State == MEM_COMMIT && info.Type == MEM_MAPPED) {
      usage.m_cbMapped += info.RegionSize;
    }
  }
  return usage;
}
