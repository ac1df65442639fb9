#pragma once
// Reads a published section: raw, or through the band's own poll (open, map,
// copy, decode, unmap, close) on a private section name.

#include <windows.h>

#include <optional>
#include <string>

#include "common/SharedTrafficRecord.h"
#include "feed/TrafficState.h"

// The raw record, or nothing when the section does not exist.
[[nodiscard]] std::optional<SharedTrafficRecord> ReadSection(const std::wstring& strName);

// One band poll on the named section; returns whether the band repaints.
[[nodiscard]] bool PollLikeTheBand(const std::wstring& strName, TrafficState& state);

[[nodiscard]] std::wstring UniqueSectionName(const wchar_t* pszPurpose);
