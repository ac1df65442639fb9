#pragma once
// The few Win32 value types that the pure code shares with the Windows glue.
// On Windows they are the SDK's own; elsewhere they get the same layouts, so
// the pure code builds and is tested natively without <windows.h>.

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>

using BOOL = int;
using LONG = std::int32_t;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using COLORREF = DWORD;
using HRESULT = std::int32_t;

inline constexpr HRESULT S_OK = 0;

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct POINT {
  LONG x;
  LONG y;
};

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#endif
