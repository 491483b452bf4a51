#include "base/textutil.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace pelvarn {

std::string AsciiLower(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

std::string AsciiUpper(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

bool AsciiEqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string TrimLeft(std::string_view s) {
    std::size_t b = 0;
    while (b < s.size() && IsTrimmable(s[b])) ++b;
    return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
    std::size_t e = s.size();
    while (e > 0 && IsTrimmable(s[e - 1])) --e;
    return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsTrimmable(s[b])) ++b;
    while (e > b && IsTrimmable(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

std::string PadRight(std::string_view s, std::size_t width) {
    std::string r(s);
    if (r.size() < width) r.append(width - r.size(), ' ');
    return r;
}

std::string FormatFixed(double value, int decimals) {
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (res.ec != std::errc()) return "0";
    return std::string(buf, res.ptr);
}

long long RoundHalfEven(double value) {
    double r = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5) r = 2.0 * std::round(value / 2.0);
    return static_cast<long long>(r);
}

std::string BlankBytesOutside(std::string_view s, unsigned char lowest, unsigned char highest) {
    std::string r(s);
    for (char& c : r) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < lowest || u > highest) c = ' ';
    }
    return r;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool Contains(std::string_view s, std::string_view part) {
    return s.find(part) != std::string_view::npos;
}

} // namespace pelvarn
