// Conversion of a short number text to a 32-bit float, with the position of the first
// character that could not be used. A point is the decimal separator whatever the locale.
#pragma once

#include <cstdint>
#include <string_view>

namespace pelvarn {

// ErrorCode 0: the whole text was a number. 1: empty, or the first character is not
// "+", "-", "." or a digit. Otherwise the 1-based position of the first unusable character
// (one past the end when the text stops where more was needed, as in "1e").
void StrToSingle(std::string_view text, float& value, std::int32_t& errorCode);

} // namespace pelvarn
