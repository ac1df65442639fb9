#pragma once
// Names the publisher is known by outside its own process: its two
// executables, and the kernel objects that belong to one published section
// (the mutex that keeps a second publisher out and the event that asks the
// running one to end).

#include <string>

inline constexpr wchar_t kConsoleExeName[] = L"nimbrel-publisher.exe";
inline constexpr wchar_t kWindowlessExeName[] = L"nimbrel-publisherw.exe";

[[nodiscard]] std::wstring PublisherMutexName(const std::wstring& strSectionName);
[[nodiscard]] std::wstring PublisherStopEventName(const std::wstring& strSectionName);
