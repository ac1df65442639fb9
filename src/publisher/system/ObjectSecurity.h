#pragma once
// The security of the publisher's named objects (the section, the mutex and
// the stop event). Left to the defaults, an elevated publisher's objects
// would grant nothing to the user's unelevated processes and carry a high
// label: the band could not read the section, and --stop could neither open
// the stop event nor set it. So each object gets the creating token's own
// default access, plus exactly what the band and --stop need for the
// interactive user, and a mandatory label of medium (or the token's own
// level, if that is lower: ObjectLabel.h).

#include <windows.h>

#include <vector>

// The band opens the section for reading; --stop sets the stop event, and
// waits on the mutex to see whether the publisher still runs.
inline constexpr DWORD kSectionReaderAccess = SECTION_QUERY | SECTION_MAP_READ;
inline constexpr DWORD kStopEventAccess = SYNCHRONIZE | EVENT_MODIFY_STATE;
inline constexpr DWORD kPublisherMutexAccess = SYNCHRONIZE;

class CObjectSecurity {
 public:
  CObjectSecurity() noexcept = default;
  // The descriptor points into this object's own buffers.
  CObjectSecurity(const CObjectSecurity&) = delete;
  CObjectSecurity& operator=(const CObjectSecurity&) = delete;

  // From the thread's token when it impersonates, else the process's. False
  // (with LastError) when the token cannot be read.
  [[nodiscard]] bool Build(DWORD dwInteractiveAccess) noexcept;

  // For the Create call; valid until this object goes or is built again.
  [[nodiscard]] SECURITY_ATTRIBUTES* Attributes() noexcept { return &m_attributes; }
  [[nodiscard]] DWORD LastError() const noexcept { return m_dwError; }

 private:
  [[nodiscard]] bool Fail() noexcept;

  std::vector<BYTE> m_dacl;
  std::vector<BYTE> m_sacl;
  SECURITY_DESCRIPTOR m_descriptor{};
  SECURITY_ATTRIBUTES m_attributes{};
  DWORD m_dwError = ERROR_SUCCESS;
};
