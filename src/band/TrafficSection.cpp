#include "band/TrafficSection.h"

#include <atomic>

#include "feed/TrafficDecode.h"

namespace {

// The publisher may rewrite the record while it is read, so every load goes to
// the view and none is merged with another.
std::uint64_t LoadField(const std::uint64_t* pField) noexcept {
  return *static_cast<const volatile std::uint64_t*>(pField);
}

std::int64_t LoadField(const std::int64_t* pField) noexcept {
  return *static_cast<const volatile std::int64_t*>(pField);
}

void CopyRecord(const SharedTrafficRecord& view, SharedTrafficRecord& copy) noexcept {
  copy.Sequence = LoadField(&view.Sequence);
  std::atomic_thread_fence(std::memory_order_acquire);
  copy.RateDown = LoadField(&view.RateDown);
  copy.RateUp = LoadField(&view.RateUp);
  copy.MaxDown = LoadField(&view.MaxDown);
  copy.MaxUp = LoadField(&view.MaxUp);
  copy.ColorDown = LoadField(&view.ColorDown);
  copy.ColorUp = LoadField(&view.ColorUp);
  copy.ByteUnits = LoadField(&view.ByteUnits);
  copy.DownOnLower = LoadField(&view.DownOnLower);
}

// Another process can create the section with pages it reserved but never
// committed: the view maps, and its first read would end the band. The whole
// record must lie in committed, readable memory.
[[nodiscard]] bool IsRecordReadable(const SharedTrafficRecord* pView) noexcept {
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(pView, &info, sizeof(info)) != sizeof(info) || info.State != MEM_COMMIT ||
      (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) {
    return false;
  }
  const auto* pEnd = reinterpret_cast<const BYTE*>(pView) + sizeof(SharedTrafficRecord);
  return pEnd <= static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize;
}

}  // namespace

void CloseTrafficSection(CUniqueHandle& hMapping, CTrafficView& view) noexcept {
  view.Reset();
  hMapping.Reset();
}

bool PollTrafficSection(CUniqueHandle& hMapping, CTrafficView& view, TrafficState& state,
                        const wchar_t* pszSectionName, PFN_TRAFFIC_COPIED pfnCopied,
                        void* pContext) noexcept {
  hMapping.Reset(OpenFileMappingW(FILE_MAP_READ, FALSE, pszSectionName));
  if (!hMapping) {
    view.Reset();
    return DecodeTrafficRecord(nullptr, state);
  }

  view.Reset(static_cast<const SharedTrafficRecord*>(
      MapViewOfFile(hMapping.Get(), FILE_MAP_READ, 0, 0, kTrafficViewBytes)));
  if (!view || !IsRecordReadable(view.Get())) {
    CloseTrafficSection(hMapping, view);
    return DecodeTrafficRecord(nullptr, state);
  }

  // A record whose Sequence moved while it was copied was being rewritten:
  // skip it; the finished one is taken on the next tick. (A rewrite that has
  // not yet reached Sequence is not seen here; it is replaced a tick later.)
  const SharedTrafficRecord* const pView = view.Get();
  SharedTrafficRecord record;
  CopyRecord(*pView, record);
  if (pfnCopied != nullptr) {
    pfnCopied(pContext);
  }
  std::atomic_thread_fence(std::memory_order_acquire);
  const bool bStable = LoadField(&pView->Sequence) == record.Sequence;

  const bool bRepaint = bStable && DecodeTrafficRecord(&record, state);
  CloseTrafficSection(hMapping, view);
  return bRepaint;
}
