#pragma once
// The poll's access to the publisher's shared section: open, map, copy the
// record, unmap, close, all within one call, so that the band never keeps the
// section alive between ticks. The decoding itself is feed/TrafficDecode.

#include <windows.h>

#include "common/RecordSequence.h"
#include "common/SharedTrafficRecord.h"
#include "feed/TrafficState.h"
#include "common/UniqueHandle.h"

// The whole record. A 64-byte view would leave DownOnLower (offset 64) outside
// what was mapped.
inline constexpr SIZE_T kTrafficViewBytes = sizeof(SharedTrafficRecord);

using CTrafficView = TUniqueView<SharedTrafficRecord>;

// Runs one poll with the band's members, on the publisher's section or one of
// another name (tests use a private one). Both are empty again on return.
// Returns whether the band window must be invalidated. pfnCopied is called
// after each copy of the record (see common/RecordSequence.h).
[[nodiscard]] bool PollTrafficSection(CUniqueHandle& hMapping, CTrafficView& view,
                                      TrafficState& state,
                                      const wchar_t* pszSectionName = kTrafficSectionName,
                                      PFN_RECORD_COPIED pfnCopied = nullptr,
                                      void* pContext = nullptr) noexcept;

// Unmaps the view and closes the section if either is still open.
void CloseTrafficSection(CUniqueHandle& hMapping, CTrafficView& view) noexcept;
