#pragma once
// What a process holds, measured from outside it: its handles and its
// committed private memory.

#include <windows.h>

struct ProcessUsage {
  // Open handles. Wine answers 0 to GetProcessHandleCount; there they are
  // counted slot by slot.
  DWORD m_nHandles = 0;
  // Committed private pages, summed with VirtualQueryEx (Wine answers 0 to
  // the private usage of GetProcessMemoryInfo).
  SIZE_T m_cbPrivate = 0;
  // Committed views of sections: a view left mapped shows here.
  SIZE_T m_cbMapped = 0;
};

// hProcess needs PROCESS_QUERY_INFORMATION, PROCESS_VM_OPERATION and
// PROCESS_DUP_HANDLE (a handle from CreateProcess has them all).
[[nodiscard]] ProcessUsage MeasureProcess(HANDLE hProcess) noexcept;
