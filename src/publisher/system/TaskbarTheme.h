#pragma once
// The taskbar's look as the current user's settings describe it: light or
// dark, and whether it shows the accent colour (and which).

#include "publisher/options/ThemeColors.h"

inline constexpr wchar_t kPersonalizeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
// The accent's shade that Start and the taskbar show; DWM's accent where
// that is missing.
inline constexpr wchar_t kExplorerAccentKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Accent";
inline constexpr wchar_t kDwmKey[] = L"Software\\Microsoft\\Windows\\DWM";
// Broadcast (WM_SETTINGCHANGE) when any of them changes.
inline constexpr wchar_t kThemeChangeSection[] = L"ImmersiveColorSet";

// Missing values count as Windows' defaults: dark, no accent.
[[nodiscard]] TaskbarTheme ReadTaskbarTheme() noexcept;
