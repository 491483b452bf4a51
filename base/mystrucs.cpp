#include "base/mystrucs.h"

#include <charconv>
#include <string>

namespace pelvarn {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
} // namespace

void StrToSingle(std::string_view text, float& value, std::int32_t& errorCode) {
    value = 0.0f;
    errorCode = 0;
    if (text.empty()) {
        errorCode = 1;
        return;
    }
    char first = text[0];
    if (!(first == '+' || first == '-' || first == '.' || IsDigit(first))) {
        errorCode = 1;
        return;
    }

    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    std::string number; // what from_chars is given: no leading "+"
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') number += '-';
        ++i;
    }
    std::size_t mantissaDigits = 0;
    while (i < n && IsDigit(text[i])) {
        number += text[i++];
        ++mantissaDigits;
    }
    if (i < n && text[i] == '.') {
        number += text[i++];
        while (i < n && IsDigit(text[i])) {
            number += text[i++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) {
        errorCode = static_cast<std::int32_t>(i + 1);
        return;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        number += 'e';
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) number += text[i++];
        std::size_t expDigits = 0;
        while (i < n && IsDigit(text[i])) {
            number += text[i++];
            ++expDigits;
        }
        if (expDigits == 0) {
            errorCode = static_cast<std::int32_t>(i + 1);
            return;
        }
    }
    if (i < n) {
        errorCode = static_cast<std::int32_t>(i + 1);
        return;
    }

    // A mantissa such as "5." is valid here but not for from_chars; a trailing point adds nothing.
    std::size_t dotPos = number.find('.');
    if (dotPos != std::string::npos &&
        (dotPos + 1 == number.size() || !IsDigit(number[dotPos + 1])))
        number.erase(dotPos, 1);
    float parsed = 0.0f;
    auto res = std::from_chars(number.data(), number.data() + number.size(), parsed);
    if (res.ec == std::errc::result_out_of_range) {
        // Too large for a single: the text is unusable as a time.
        errorCode = static_cast<std::int32_t>(n);
        return;
    }
    if (res.ec != std::errc()) {
        errorCode = 1;
        return;
    }
    value = parsed;
}

} // namespace pelvarn
