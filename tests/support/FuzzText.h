#pragma once
// Small independent readings of URL text that several targets check results
// against. They are deliberately naive: a result that passes them cannot name
// another host than the one asked for.

#include <string>
#include <string_view>

// Case-insensitive "http://" at the start.
[[nodiscard]] bool StartsWithHttp(std::wstring_view url) noexcept;

// The host of an http:// URL as written: what lies between "http://" and the
// first '/', '?' or '#', without a ":port" after it (an IPv6 literal keeps its
// brackets). Lower case, so that hosts compare as the network does.
[[nodiscard]] std::wstring NaiveHost(std::wstring_view url);

// Without the blanks (space, tab, CR, LF) around it, as XML text is taken.
[[nodiscard]] std::wstring_view TrimBlanks(std::wstring_view text) noexcept;

// Printable ASCII without blanks: nothing that ends a line or a header early.
[[nodiscard]] bool IsPrintableAscii(std::wstring_view text) noexcept;
