#include "publisher/record/TrafficSectionWriter.h"

#include "publisher/system/ObjectSecurity.h"
#include "common/RecordSequence.h"

namespace {

// A band that polled the section just as a previous publisher quit may hold
// it for a moment longer; only a section that stays is somebody else's.
constexpr int kExistingSectionTries = 10;
constexpr DWORD kExistingSectionWaitMs = 30;

}  // namespace

SectionOpenResult CTrafficSectionWriter::Open(const std::wstring& strSectionName) noexcept {
  Close();
  CObjectSecurity security;
  if (!security.Build(kSectionReaderAccess)) {
    m_dwError = security.LastError();
    return SectionOpenResult::Failed;
  }
  for (int nTry = 0; nTry < kExistingSectionTries; ++nTry) {
    SetLastError(ERROR_SUCCESS);
    m_hMapping.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE,
                                        0, kTrafficSectionBytes, strSectionName.c_str()));
    m_dwError = GetLastError();
    // A section of that name that this process may not open is somebody else's too.
    if (!m_hMapping && m_dwError != ERROR_ACCESS_DENIED) {
      return SectionOpenResult::Failed;
    }
    if (m_hMapping && m_dwError != ERROR_ALREADY_EXISTS) {
      break;
    }
    m_hMapping.Reset();
    Sleep(kExistingSectionWaitMs);
  }
  if (!m_hMapping) {
    m_dwError = ERROR_ALREADY_EXISTS;
    return SectionOpenResult::AlreadyPublished;
  }

  m_view.Reset(static_cast<SharedTrafficRecord*>(
      MapViewOfFile(m_hMapping.Get(), FILE_MAP_WRITE, 0, 0, sizeof(SharedTrafficRecord))));
  if (!m_view) {
    m_dwError = GetLastError();
    Close();
    return SectionOpenResult::Failed;
  }
  m_dwError = ERROR_SUCCESS;
  return SectionOpenResult::Opened;
}

void CTrafficSectionWriter::Publish(const SharedTrafficRecord& record) noexcept {
  if (m_view) {
    StoreTrafficRecord(*m_view.Get(), record);
  }
}

void CTrafficSectionWriter::Close() noexcept {
  m_view.Reset();
  m_hMapping.Reset();
}
