#pragma once
// The publisher's end of the shared section: creates it, keeps the record in
// it and removes it again. The band opens the section only for the moment of
// each poll, so when this writer closes, the section is gone and the band
// falls back to "No Data".

#include <windows.h>

#include <string>

#include "common/SharedTrafficRecord.h"
#include "common/UniqueHandle.h"

// A whole page: larger than the 72-byte record, and what any reader's view
// of the record's start is rounded up to anyway.
inline constexpr DWORD kTrafficSectionBytes = 4096;

enum class SectionOpenResult { Opened, AlreadyPublished, Failed };

class CTrafficSectionWriter {
 public:
  CTrafficSectionWriter() noexcept = default;
  ~CTrafficSectionWriter() { Close(); }
  CTrafficSectionWriter(const CTrafficSectionWriter&) = delete;
  CTrafficSectionWriter& operator=(const CTrafficSectionWriter&) = delete;

  // AlreadyPublished: another publisher (ours or a foreign one) owns the name.
  // The section lets the interactive user read it, whatever rights this
  // process has (see ObjectSecurity.h).
  [[nodiscard]] SectionOpenResult Open(const std::wstring& strSectionName) noexcept;
  // Sequence 0, the eight value fields, then the new Sequence (see
  // common/RecordSequence.h): the band takes a record whole or not at all.
  void Publish(const SharedTrafficRecord& record) noexcept;
  void Close() noexcept;

  [[nodiscard]] bool IsOpen() const noexcept { return static_cast<bool>(m_view); }
  [[nodiscard]] DWORD LastError() const noexcept { return m_dwError; }

 private:
  CUniqueHandle m_hMapping;
  TUniqueWritableView<SharedTrafficRecord> m_view;
  DWORD m_dwError = ERROR_SUCCESS;
};
