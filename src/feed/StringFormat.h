#pragma once
// StringCbPrintfW, the bounded wide formatter that every formatted text of the
// program goes through. On Windows it is the SDK's own (<strsafe.h>), so the
// numbers come from the Windows C library. Elsewhere it is ours, with the same
// contract on top of the C library's vswprintf:
//   - cbDest is the destination's size in bytes; it holds cbDest / sizeof(wchar_t)
//     characters (wchar_t is 2 bytes on Windows, 4 on Linux).
//   - at most that many characters minus one are written, always terminated;
//   - text that does not fit is cut and gives STRSAFE_E_INSUFFICIENT_BUFFER;
//   - room for less than one character writes nothing and gives
//     STRSAFE_E_INVALID_PARAMETER.
// For a wide string argument write %ls: a bare %s means a wide string to the
// Windows C library but a narrow one to glibc.

#include <cstdarg>
#include <cstddef>

#include "feed/PlatformTypes.h"

#ifdef _WIN32
#ifndef STRSAFE_NO_DEPRECATE
#define STRSAFE_NO_DEPRECATE
#endif
#include <strsafe.h>
#else
inline constexpr HRESULT STRSAFE_E_INSUFFICIENT_BUFFER = static_cast<HRESULT>(0x8007007AU);
inline constexpr HRESULT STRSAFE_E_INVALID_PARAMETER = static_cast<HRESULT>(0x80070057U);
inline constexpr std::size_t STRSAFE_MAX_CCH = 2147483647;

HRESULT StringCbVPrintfW(wchar_t* pszDest, std::size_t cbDest, const wchar_t* pszFormat,
                         va_list argList) noexcept;
HRESULT StringCbPrintfW(wchar_t* pszDest, std::size_t cbDest, const wchar_t* pszFormat,
                        ...) noexcept;
#endif
