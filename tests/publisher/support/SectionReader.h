#pragma once
// Reads a published section the way the band does: open, map, copy, decode
// with the band's own decoding, unmap, close.

#include <windows.h>

#include <optional>
#include <string>

#include "feed/SharedTrafficRecord.h"
#include "feed/TrafficState.h"

// The raw record, or nothing when the section does not exist.
[[nodiscard]] std::optional<SharedTrafficRecord> ReadSection(const std::wstring& strName);

// One band poll on the named section; returns whether the band would repaint.
[[nodiscard]] bool PollLikeTheBand(const std::wstring& strName, TrafficState& state);

[[nodiscard]] std::wstring UniqueSectionName(const wchar_t* pszPurpose);
