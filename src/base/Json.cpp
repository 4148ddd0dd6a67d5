#include "base/Json.h"

#include <charconv>
#include <cmath>

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
    if (!std::isfinite(value))
        return "null";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}
