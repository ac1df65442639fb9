#include "band/TrafficSection.h"

#include "feed/TrafficDecode.h"

namespace {

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
                        const wchar_t* pszSectionName, PFN_RECORD_COPIED pfnCopied,
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

  // A record that is being rewritten is copied again, or not taken this tick;
  // what is taken comes whole from one write.
  SharedTrafficRecord record;
  const bool bWhole = LoadTrafficRecord(*view.Get(), record, pfnCopied, pContext);
  const bool bRepaint = bWhole && DecodeTrafficRecord(&record, state);
  CloseTrafficSection(hMapping, view);
  return bRepaint;
}
