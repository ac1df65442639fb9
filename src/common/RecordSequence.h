#pragma once
// How the publisher and the band hand a record over through the shared
// section without a lock. The writer stores 0 in Sequence, then the fields,
// then the new Sequence; the reader copies the record between two reads of
// Sequence and keeps the copy only when both are the same nonzero value. A
// rewrite that overlapped the copy changed Sequence (to 0, or to the next
// value) before the reader's second read, so a kept copy holds the fields of
// one write. A publisher that only writes Sequence last is still read right
// whenever its rewrite did not overlap the copy, and a rewrite that reached
// Sequence during the copy is read again.

#include "common/SharedTrafficRecord.h"

// A rewrite takes nanoseconds; a writer that was paused in the middle of one
// is read on a later tick.
inline constexpr int kRecordReadTries = 8;

// Called after each copy, before Sequence is read again; tests rewrite the
// record at exactly that moment.
using PFN_RECORD_COPIED = void (*)(void* pContext) noexcept;

// The writer's half: shared is the section's record.
void StoreTrafficRecord(SharedTrafficRecord& shared, const SharedTrafficRecord& record) noexcept;

// The reader's half: true with copy holding one whole write; false when
// Sequence stayed 0 or kept changing through kRecordReadTries copies.
[[nodiscard]] bool LoadTrafficRecord(const SharedTrafficRecord& shared, SharedTrafficRecord& copy,
                                     PFN_RECORD_COPIED pfnCopied = nullptr,
                                     void* pContext = nullptr) noexcept;
