#pragma once
// What may reach the console of the text in a line. Router fault texts,
// URLs and other words from the network end up in the publisher's lines; a
// router must not be able to move the cursor, recolour or clear the console,
// ring its bell, start a line of its own, or flood it.

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t kMaxConsoleLine = 400;
inline constexpr wchar_t kReplacedCharacter = L'?';

// C0 and C1 control characters (ESC, BEL, CR and LF among them), DEL, the
// Unicode line and paragraph separators, the bidirectional overrides and
// unpaired surrogates become kReplacedCharacter. A line longer than cchMax
// (at least 4) is cut, without splitting a surrogate pair, and ends in "...".
[[nodiscard]] std::wstring SanitizeConsoleLine(std::wstring_view line,
                                               std::size_t cchMax = kMaxConsoleLine);
