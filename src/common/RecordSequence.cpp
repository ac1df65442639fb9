#include "common/RecordSequence.h"

#include <atomic>
#include <cstdint>

namespace {

// The section is shared with another process: each field is one 8-byte atomic
// access (a plain load or store on the platform), never merged or split.
template <typename T>
T LoadRelaxed(const T& field) noexcept {
  // Loads do not write; the reader's view is mapped read-only.
  return std::atomic_ref<T>(const_cast<T&>(field)).load(std::memory_order_relaxed);
}

template <typename T>
void StoreRelaxed(T& field, T value) noexcept {
  std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}

std::uint64_t LoadSequence(const SharedTrafficRecord& shared, std::memory_order order) noexcept {
  return std::atomic_ref<std::uint64_t>(const_cast<std::uint64_t&>(shared.Sequence)).load(order);
}

void CopyFields(const SharedTrafficRecord& shared, SharedTrafficRecord& copy) noexcept {
  copy.RateDown = LoadRelaxed(shared.RateDown);
  copy.RateUp = LoadRelaxed(shared.RateUp);
  copy.MaxDown = LoadRelaxed(shared.MaxDown);
  copy.MaxUp = LoadRelaxed(shared.MaxUp);
  copy.ColorDown = LoadRelaxed(shared.ColorDown);
  copy.ColorUp = LoadRelaxed(shared.ColorUp);
  copy.ByteUnits = LoadRelaxed(shared.ByteUnits);
  copy.DownOnLower = LoadRelaxed(shared.DownOnLower);
}

}  // namespace

void StoreTrafficRecord(SharedTrafficRecord& shared, const SharedTrafficRecord& record) noexcept {
  std::atomic_ref<std::uint64_t>(shared.Sequence).store(0, std::memory_order_relaxed);
  // A reader that sees any field below also sees the 0 above, or what came after it.
  std::atomic_thread_fence(std::memory_order_release);
  StoreRelaxed(shared.RateDown, record.RateDown);
  StoreRelaxed(shared.RateUp, record.RateUp);
  StoreRelaxed(shared.MaxDown, record.MaxDown);
  StoreRelaxed(shared.MaxUp, record.MaxUp);
  StoreRelaxed(shared.ColorDown, record.ColorDown);
  StoreRelaxed(shared.ColorUp, record.ColorUp);
  StoreRelaxed(shared.ByteUnits, record.ByteUnits);
  StoreRelaxed(shared.DownOnLower, record.DownOnLower);
  // A reader that sees the new Sequence also sees every field stored before it.
  std::atomic_ref<std::uint64_t>(shared.Sequence).store(record.Sequence, std::memory_order_release);
}

bool LoadTrafficRecord(const SharedTrafficRecord& shared, SharedTrafficRecord& copy,
                       PFN_RECORD_COPIED pfnCopied, void* pContext) noexcept {
  for (int nTry = 0; nTry < kRecordReadTries; ++nTry) {
    const std::uint64_t nBefore = LoadSequence(shared, std::memory_order_acquire);
    if (nBefore == 0) {
      continue;
    }
    CopyFields(shared, copy);
    if (pfnCopied != nullptr) {
      pfnCopied(pContext);
    }
    // Orders the field loads above before the second read of Sequence.
    std::atomic_thread_fence(std::memory_order_acquire);
    if (LoadSequence(shared, std::memory_order_relaxed) == nBefore) {
      copy.Sequence = nBefore;
      return true;
    }
  }
  return false;
}
