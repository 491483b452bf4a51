// Small text helpers over 8-bit strings. Case folding is ASCII-only: only A-Z and a-z change,
// so that keywords and names compare the same whatever the system's code page.
#pragma once

#include <string>
#include <string_view>

namespace pelvarn {

std::string AsciiLower(std::string_view s);
std::string AsciiUpper(std::string_view s);
bool AsciiEqualNoCase(std::string_view a, std::string_view b);

// True for a byte that trimming removes: the blank and every control character (0..32).
inline bool IsTrimmable(char c) { return static_cast<unsigned char>(c) <= 32; }

// Removes blanks and control characters at both ends (or one end).
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// Appends blanks until the text is at least `width` characters long.
std::string PadRight(std::string_view s, std::size_t width);

// Fixed-point text with `decimals` digits after a point, whatever the locale; no leading blanks.
std::string FormatFixed(double value, int decimals);

// Rounds to the nearest whole number, halves to the even one (2.5 gives 2, 3.5 gives 4).
long long RoundHalfEven(double value);

// Every byte outside lowest..highest becomes a blank; the length is kept.
std::string BlankBytesOutside(std::string_view s, unsigned char lowest, unsigned char highest);

bool StartsWith(std::string_view s, std::string_view prefix);
bool Contains(std::string_view s, std::string_view part);

} // namespace pelvarn
