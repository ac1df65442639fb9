#pragma once
// The two named objects that make a process the publisher of a section: the
// stop event that --stop sets, and the mutex that keeps a second publisher
// out. Both are created new here, or not used at all: an event that another
// program created first could stop this publisher whenever that program
// likes, or never let --stop reach it; a mutex it created first could make a
// publisher without an event look like the running one. Both let the
// interactive user do what --stop needs, even when this process is elevated.

#include <windows.h>

#include <string>

#include "common/UniqueHandle.h"

enum class ClaimResult {
  Claimed,
  AlreadyRunning,  // another publisher holds both names
  Taken,           // another program holds one of them (TakenName says which)
  Failed,
};

class CPublisherClaim {
 public:
  CPublisherClaim() noexcept = default;
  ~CPublisherClaim() { Release(); }
  CPublisherClaim(const CPublisherClaim&) = delete;
  CPublisherClaim& operator=(const CPublisherClaim&) = delete;

  [[nodiscard]] ClaimResult Claim(const std::wstring& strSectionName) noexcept;
  // The event first, then the mutex; the section is closed before this.
  void Release() noexcept;

  [[nodiscard]] HANDLE StopEvent() const noexcept { return m_hStop.Get(); }
  [[nodiscard]] const std::wstring& TakenName() const noexcept { return m_strTakenName; }
  [[nodiscard]] DWORD LastError() const noexcept { return m_dwError; }

 private:
  [[nodiscard]] ClaimResult TryClaim(const std::wstring& strEvent,
                                     const std::wstring& strMutex) noexcept;

  CUniqueHandle m_hStop;
  CUniqueHandle m_hMutex;
  std::wstring m_strTakenName;
  DWORD m_dwError = ERROR_SUCCESS;
};
