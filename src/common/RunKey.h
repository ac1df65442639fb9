#pragma once
// The current user's Run key, below HKEY_CURRENT_USER: the band's and the
// windowless publisher's log-on entries both live there.

inline constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
