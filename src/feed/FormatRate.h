#pragma once
// A rate in bytes per second, shown as text with a unit and a precision picked
// from fixed ranges ("%.2f MB/s", "%.3f Mbit/s"), or "No Data".

#include <cstddef>
#include <cstdint>

#include "feed/PlatformTypes.h"

inline constexpr std::size_t kRateTextChars = 64;  // each line buffer, terminator included

// Returns pszBuffer, filled, for a rate of 0 or more; for a negative rate the
// constant text "No Data", leaving the buffer untouched.
[[nodiscard]] const wchar_t* FormatRate(std::int64_t nRate, BOOL bBitsMode,
                                        wchar_t* pszBuffer) noexcept;
