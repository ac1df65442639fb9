#pragma once
// The windowless publisher's small log: one line per event with the local
// time in front, UTF-8. Past a size cap the file becomes publisher.log.1
// (replacing the one before) and a new one starts, so at most two are kept.
// The file is opened for each line and shared, so that a --stop run can add
// its line while the publisher runs, and the user can read or delete it.

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr wchar_t kLogFileName[] = L"publisher.log";
inline constexpr wchar_t kPreviousLogFileName[] = L"publisher.log.1";
inline constexpr std::uint64_t kMaxLogBytes = 1024 * 1024;

// %LOCALAPPDATA%\Nimbrel, or empty when Windows does not say where that is.
[[nodiscard]] std::wstring DefaultLogFolder();

class CLogFile {
 public:
  explicit CLogFile(std::wstring strFolder, std::uint64_t nMaxBytes = kMaxLogBytes);

  [[nodiscard]] const std::wstring& Path() const noexcept { return m_strPath; }
  // Failures are silent: there is nowhere left to report them.
  void Append(std::wstring_view line) noexcept;

 private:
  std::wstring m_strFolder;
  std::wstring m_strPath;
  std::uint64_t m_nMaxBytes;
};
