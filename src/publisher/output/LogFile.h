#pragma once
// The windowless publisher's small log: one line per event with the local
// time in front, UTF-8. Past a size cap the running publisher moves the file
// aside as publisher.log.1 (replacing the one before) and starts a new one,
// so at most two are kept. The file is opened for each line and shared, so
// that a --stop run can add its line while the publisher runs, and the user
// can read or delete it.
//
// Only the running publisher moves the log aside: two writers doing it at
// once would replace the previous log with a nearly empty one. Any other
// writer (--stop, a start that is refused) only appends, and adds nothing
// once the file holds twice the cap.
//
// When the log cannot be moved aside (a viewer holds it open without
// letting it be renamed), it is emptied and starts again with a line that
// says why; when it cannot even be emptied or opened, nothing more is
// written to it. Either way the file stays bounded, and the debugger output
// hears of the trouble once, until the log works again.

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr wchar_t kLogFileName[] = L"publisher.log";
inline constexpr wchar_t kPreviousLogFileName[] = L"publisher.log.1";
inline constexpr std::uint64_t kMaxLogBytes = std::uint64_t{1024} * 1024;

// %LOCALAPPDATA%\Nimbrel, or empty when Windows does not say where that is.
[[nodiscard]] std::wstring DefaultLogFolder();

class CLogFile {
 public:
  explicit CLogFile(std::wstring strFolder, std::uint64_t nMaxBytes = kMaxLogBytes);

  [[nodiscard]] const std::wstring& Path() const noexcept { return m_strPath; }
  // This process is the running publisher: from now on it moves a full log aside.
  void AllowRotation() noexcept { m_bMayRotate = true; }
  void Append(std::wstring_view line) noexcept;

 private:
  // Empties a full log that could not be moved aside; false when it cannot be.
  [[nodiscard]] bool Restart(unsigned long dwMoveError) noexcept;
  // One line to the debugger output, unless bSaid says it was said already.
  static void SayOnce(bool& bSaid, const std::wstring& strLine) noexcept;

  std::wstring m_strFolder;
  std::wstring m_strPath;
  std::uint64_t m_nMaxBytes;
  bool m_bMayRotate = false;
  bool m_bOpenTroubleSaid = false;      // until a line is written again
  bool m_bRotationTroubleSaid = false;  // until the log is moved aside again
};
