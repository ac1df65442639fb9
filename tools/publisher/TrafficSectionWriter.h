#pragma once
// The publisher's end of the shared section: creates it, keeps the record in
// it and removes it again. The band opens the section only for the moment of
// each poll, so when this writer closes, the section is gone and the band
// falls back to "No Data".

#include <windows.h>

#include <string>

#include "feed/SharedTrafficRecord.h"

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
  [[nodiscard]] SectionOpenResult Open(const std::wstring& strSectionName) noexcept;
  // The eight value fields first, Sequence last with release ordering, so a
  // reader that sees the new Sequence also sees the figures stored before it.
  void Publish(const SharedTrafficRecord& record) noexcept;
  void Close() noexcept;

  [[nodiscard]] bool IsOpen() const noexcept { return m_pView != nullptr; }
  [[nodiscard]] DWORD LastError() const noexcept { return m_dwError; }

 private:
  HANDLE m_hMapping = nullptr;
  SharedTrafficRecord* m_pView = nullptr;
  DWORD m_dwError = ERROR_SUCCESS;
};
