#include "base/Json.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

std::string JsonString(std::string_view latin1)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(latin1.size() + 2);
    out += '"';
    for (const char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else if (c < 0x80) {
                out += static_cast<char>(c);
            } else { // UTF-8 of code point c
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
    }
    out += '"';
    return out;
}

std::string JsonNumber(double value)
{
    // The shortest digits that read back as the same double, laid out as JavaScript writes
    // numbers: plain decimals from 1e-7 up to 1e21, exponent form outside.
    if (!std::isfinite(value))
        return "null";
    if (value == 0)
        return "0";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    std::string out;
    if (text.front() == '-') {
        out += '-';
        text.remove_prefix(1);
    }
    const size_t e = text.find('e');
    std::string digits;
    for (const char c : text.substr(0, e))
        if (c != '.')
            digits += c;
    const int exponent = std::stoi(std::string(text.substr(e + 1)));
    const int k = static_cast<int>(digits.size());
    const int n = exponent + 1; // the decimal point stands after n digits
    if (k <= n && n <= 21) {
        out += digits + std::string(static_cast<size_t>(n - k), '0');
    } else if (0 < n && n <= 21) {
        out += digits.substr(0, static_cast<size_t>(n)) + "." + digits.substr(static_cast<size_t>(n));
    } else if (-6 < n && n <= 0) {
        out += "0." + std::string(static_cast<size_t>(-n), '0') + digits;
    } else {
        out += digits.substr(0, 1);
        if (k > 1)
            out += "." + digits.substr(1);
        out += "e";
        out += n - 1 >= 0 ? "+" : "-";
        out += std::to_string(std::abs(n - 1));
    }
    return out;
}
