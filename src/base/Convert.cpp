#include "base/Convert.h"

#include "base/Errors.h"

#include <array>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <locale>

namespace {

char SystemDecimalSeparator()
{
    try {
        return std::use_facet<std::numpunct<char>>(std::locale("")).decimal_point();
    } catch (const std::exception&) {
        return '.'; // an unknown LANG setting: fall back to the classic locale
    }
}

char& SeparatorSlot()
{
    static char separator = SystemDecimalSeparator();
    return separator;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

unsigned char UpperAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

unsigned char UpperLatin1(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 32;
    return c;
}

// The powers of ten that an 80-bit long double holds exactly: 10^k = 5^k * 2^k, and 5^27 is the
// last power of five below 2^64.
constexpr int ExactPowersOfTen = 28;
static_assert(std::numeric_limits<long double>::digits >= 64, "the quick conversion needs 64-bit digits exact");

const long double* PowersOfTen()
{
    static const auto table = [] {
        std::array<long double, ExactPowersOfTen> powers{};
        long double power = 1;
        for (long double& p : powers) {
            p = power;
            power *= 10;
        }
        return powers;
    }();
    return table.data();
}

} // namespace

char DecimalSeparator() { return SeparatorSlot(); }
void SetDecimalSeparator(char separator) { SeparatorSlot() = separator; }

bool TryStrToFloat(std::string_view text, long double& value)
{
    const char sep = DecimalSeparator();
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const size_t mantissaStart = i;
    size_t pointAt = std::string_view::npos, exponentAt = std::string_view::npos;
    size_t mantissaDigits = 0;
    long long firstNonZeroPlace = 0; // decimal place of the leading non-zero digit, for underflow
    bool seenNonZero = false;
    // The digits as a whole number, while they are few enough for it to be exact.
    uint64_t digits = 0;
    int significantDigits = 0;
    long long fractionPlace = 0;
    auto take = [&](char c) {
        if (seenNonZero)
            ++significantDigits;
        if (significantDigits <= std::numeric_limits<uint64_t>::digits10)
            digits = digits * 10 + static_cast<uint64_t>(c - '0');
    };
    while (i < n && IsDigit(text[i])) {
        if (text[i] != '0' && !seenNonZero) {
            seenNonZero = true;
            firstNonZeroPlace = 0;
        }
        if (seenNonZero)
            ++firstNonZeroPlace;
        take(text[i++]);
        ++mantissaDigits;
    }
    if (i < n && text[i] == sep) {
        pointAt = i++;
        while (i < n && IsDigit(text[i])) {
            ++fractionPlace;
            if (text[i] != '0' && !seenNonZero) {
                seenNonZero = true;
                firstNonZeroPlace = 1 - fractionPlace;
            }
            take(text[i++]);
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    long long exponent = 0;
    const bool exponentGiven = i < n && (text[i] == 'E' || text[i] == 'e');
    if (exponentGiven) {
        exponentAt = i++;
        bool exponentNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            exponentNegative = text[i++] == '-';
        size_t expDigits = 0;
        while (i < n && IsDigit(text[i])) {
            if (exponent < 100000)
                exponent = exponent * 10 + (text[i] - '0');
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
        if (exponentNegative)
            exponent = -exponent;
    }
    const size_t numberEnd = i;
    while (i < n && text[i] == ' ')
        ++i;
    if (i != n)
        return false;
    if (!exponentGiven && significantDigits <= std::numeric_limits<uint64_t>::digits10 &&
        fractionPlace < ExactPowersOfTen && std::fegetround() == FE_TONEAREST) {
        // The digits and the power of ten are both exact, and one division rounds to nearest, as
        // the full conversion does in every rounding mode: the same value, without it (most of a
        // log's numbers).
        const long double result = static_cast<long double>(digits) / PowersOfTen()[fractionPlace];
        value = negative ? -result : result;
        return true;
    }
    // The number in the classic form that from_chars reads, built only when it is needed.
    std::string classic(text.substr(mantissaStart, numberEnd - mantissaStart));
    if (pointAt != std::string_view::npos)
        classic[pointAt - mantissaStart] = '.';
    if (exponentAt != std::string_view::npos)
        classic[exponentAt - mantissaStart] = 'e';
    long double result = 0;
    const auto [end, ec] = std::from_chars(classic.data(), classic.data() + classic.size(), result);
    if (end != classic.data() + classic.size())
        return false;
    if (ec == std::errc::result_out_of_range) {
        // A tiny magnitude is zero, as the FPU gives it; a huge one is no number.
        if (!seenNonZero || firstNonZeroPlace + exponent < 0)
            result = 0;
        else
            return false;
    } else if (ec != std::errc()) {
        return false;
    }
    value = negative ? -result : result;
    return true;
}

long double StrToFloat(std::string_view text)
{
    long double value;
    if (!TryStrToFloat(text, value))
        throw EConvertError::InvalidFloat(text);
    return value;
}

bool TryStrToInt(std::string_view text, int32_t& value)
{
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == n)
        return false;
    const long long limit = negative ? 2147483648LL : 2147483647LL;
    long long magnitude = 0;
    for (; i < n; ++i) {
        const int digit = base == 10 ? (IsDigit(text[i]) ? text[i] - '0' : -1) : HexValue(text[i]);
        if (digit < 0)
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return false;
    }
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return true;
}

int32_t StrToInt(std::string_view text)
{
    int32_t value;
    if (!TryStrToInt(text, value))
        throw EConvertError::InvalidInteger(text);
    return value;
}

int32_t VarToInt(std::string_view text)
{
    int32_t value;
    std::string_view t = text;
    while (!t.empty() && t.back() == ' ')
        t.remove_suffix(1);
    if (!TryStrToInt(t, value))
        throw EVariantTypeCastError::StringToInteger();
    return value;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string LocalizePoints(std::string_view text)
{
    std::string result(text);
    const char sep = DecimalSeparator();
    if (sep != '.')
        for (char& c : result)
            if (c == '.')
                c = sep;
    return result;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    std::string result;
    if (from.empty())
        return std::string(text);
    size_t start = 0;
    for (size_t hit; (hit = text.find(from, start)) != std::string_view::npos; start = hit + from.size()) {
        result.append(text.substr(start, hit - start));
        result.append(to);
    }
    result.append(text.substr(start));
    return result;
}

std::string UpperCaseAscii(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(UpperAscii(static_cast<unsigned char>(c)));
    return result;
}

int CompareTextAscii(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = UpperAscii(static_cast<unsigned char>(a[i]));
        const int cb = UpperAscii(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca - cb;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool SameTextAscii(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && CompareTextAscii(a, b) == 0;
}

std::string UpperCaseLatin1(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(UpperLatin1(static_cast<unsigned char>(c)));
    return upper;
}

bool SameTextLatin1(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperLatin1(static_cast<unsigned char>(a[i])) != UpperLatin1(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view TrimView(std::string_view text)
{
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 32)
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32)
        --e;
    return text.substr(b, e - b);
}

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }
