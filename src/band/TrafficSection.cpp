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

}  // namespace

void CloseTrafficSection(HANDLE& hMapping, const SharedTrafficRecord*& pView) noexcept {
  if (pView != nullptr) {
    UnmapViewOfFile(pView);
    pView = nullptr;
  }
  if (hMapping != nullptr) {
    CloseHandle(hMapping);
    hMapping = nullptr;
  }
}

bool PollTrafficSection(HANDLE& hMapping, const SharedTrafficRecord*& pView,
                        TrafficState& state) noexcept {
  return PollTrafficSection(hMapping, pView, state, kTrafficSectionName);
}

bool PollTrafficSection(HANDLE& hMapping, const SharedTrafficRecord*& pView, TrafficState& state,
                        const wchar_t* pszSectionName, PFN_TRAFFIC_COPIED pfnCopied,
                        void* pContext) noexcept {
  hMapping = OpenFileMappingW(FILE_MAP_READ, FALSE, pszSectionName);
  if (hMapping == nullptr) {
    pView = nullptr;
    return DecodeTrafficRecord(nullptr, state);
  }

  pView = static_cast<const SharedTrafficRecord*>(
      MapViewOfFile(hMapping, FILE_MAP_READ, 0, 0, kTrafficViewBytes));
  if (pView == nullptr) {
    CloseTrafficSection(hMapping, pView);
    return DecodeTrafficRecord(nullptr, state);
  }

  // A record whose Sequence moved while it was copied was being rewritten:
  // skip it; the finished one is taken on the next tick. (A rewrite that has
  // not yet reached Sequence is not seen here; it is replaced a tick later.)
  SharedTrafficRecord record;
  CopyRecord(*pView, record);
  if (pfnCopied != nullptr) {
    pfnCopied(pContext);
  }
  std::atomic_thread_fence(std::memory_order_acquire);
  const bool bStable = LoadField(&pView->Sequence) == record.Sequence;

  const bool bRepaint = bStable && DecodeTrafficRecord(&record, state);
  CloseTrafficSection(hMapping, pView);
  return bRepaint;
}
