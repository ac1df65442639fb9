#pragma once
// The command line stored in the Run key for this executable.

#include <cstddef>
#include <functional>
#include <string>

// Reads a path into a buffer of the given number of characters and returns
// the number of characters written, as GetModuleFileNameW does: 0 on failure,
// the buffer size (or more) when the path did not fit.
using PathReader = std::function<std::size_t(wchar_t* pszBuffer, std::size_t cchBuffer)>;

inline constexpr std::size_t kFirstPathChars = 260;
inline constexpr std::size_t kMaxPathChars = 32768;  // the longest path Windows can hand out

// The whole path, or an empty string when it could not be read or did not
// fit even the largest buffer; a cut path would name a program that does not
// exist. The buffer starts at cchFirst characters and doubles.
[[nodiscard]] std::wstring ReadWholePath(const PathReader& read,
                                         std::size_t cchFirst = kFirstPathChars);

// The path in double quotes, so that a path with spaces cannot be taken for
// a shorter program followed by arguments.
[[nodiscard]] std::wstring QuoteCommandPath(const std::wstring& path);
