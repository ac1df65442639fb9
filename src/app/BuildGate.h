#pragma once
// Nimbrel runs on Windows 11 only: build 22000 or later.

#include <windows.h>

inline constexpr DWORD kMinimumWindowsBuild = 22000;
inline constexpr wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
inline constexpr wchar_t kCurrentBuildNumberValue[] = L"CurrentBuildNumber";

// The build number under HKEY_LOCAL_MACHINE, held as REG_DWORD or as text
// (its leading decimal digits). False when the key cannot be opened.
[[nodiscard]] bool ReadWindowsBuildNumber(DWORD& nBuild) noexcept;

// False when the key cannot be opened or the build is below 22000.
[[nodiscard]] bool IsSupportedWindowsBuild() noexcept;
