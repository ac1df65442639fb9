#pragma once
// Kernel object names that belong to one published section: the mutex that
// keeps a second publisher out and the event that asks the running one to end.

#include <string>

[[nodiscard]] std::wstring PublisherMutexName(const std::wstring& strSectionName);
[[nodiscard]] std::wstring PublisherStopEventName(const std::wstring& strSectionName);
