#include "TrafficSectionWriter.h"

#include <atomic>

namespace {

template <typename T>
void StoreRelaxed(T& field, T value) noexcept {
  std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}

// A band that polled the section just as a previous publisher quit may hold
// it for a moment longer; only a section that stays is somebody else's.
constexpr int kExistingSectionTries = 10;
constexpr DWORD kExistingSectionWaitMs = 30;

}  // namespace

SectionOpenResult CTrafficSectionWriter::Open(const std::wstring& strSectionName) noexcept {
  Close();
  for (int nTry = 0; nTry < kExistingSectionTries; ++nTry) {
    SetLastError(ERROR_SUCCESS);
    m_hMapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    kTrafficSectionBytes, strSectionName.c_str());
    m_dwError = GetLastError();
    if (m_hMapping == nullptr) {
      Close();
      return SectionOpenResult::Failed;
    }
    if (m_dwError != ERROR_ALREADY_EXISTS) break;
    CloseHandle(m_hMapping);
    m_hMapping = nullptr;
    Sleep(kExistingSectionWaitMs);
  }
  if (m_hMapping == nullptr) {
    Close();
    m_dwError = ERROR_ALREADY_EXISTS;
    return SectionOpenResult::AlreadyPublished;
  }

  m_pView = static_cast<SharedTrafficRecord*>(
      MapViewOfFile(m_hMapping, FILE_MAP_WRITE, 0, 0, sizeof(SharedTrafficRecord)));
  if (m_pView == nullptr) {
    m_dwError = GetLastError();
    Close();
    return SectionOpenResult::Failed;
  }
  m_dwError = ERROR_SUCCESS;
  return SectionOpenResult::Opened;
}

void CTrafficSectionWriter::Publish(const SharedTrafficRecord& record) noexcept {
  if (m_pView == nullptr) return;
  StoreRelaxed(m_pView->RateDown, record.RateDown);
  StoreRelaxed(m_pView->RateUp, record.RateUp);
  StoreRelaxed(m_pView->MaxDown, record.MaxDown);
  StoreRelaxed(m_pView->MaxUp, record.MaxUp);
  StoreRelaxed(m_pView->ColorDown, record.ColorDown);
  StoreRelaxed(m_pView->ColorUp, record.ColorUp);
  StoreRelaxed(m_pView->ByteUnits, record.ByteUnits);
  StoreRelaxed(m_pView->DownOnLower, record.DownOnLower);
  std::atomic_ref<std::uint64_t>(m_pView->Sequence)
      .store(record.Sequence, std::memory_order_release);
}

void CTrafficSectionWriter::Close() noexcept {
  if (m_pView != nullptr) {
    UnmapViewOfFile(m_pView);
    m_pView = nullptr;
  }
  if (m_hMapping != nullptr) {
    CloseHandle(m_hMapping);
    m_hMapping = nullptr;
  }
}
