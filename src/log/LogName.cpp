#include "log/LogName.h"

#include "base/Convert.h"

#include <cstdio>

namespace {

// Exactly `count` decimal digits at `at`, read as a number.
std::optional<int> Digits(std::string_view text, size_t at, size_t count)
{
    if (at + count > text.size())
        return std::nullopt;
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

int DaysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

} // namespace

std::optional<TLogName> ParseLogName(std::string_view path)
{
    std::string_view name = path;
    if (const size_t slash = name.find_last_of("/\\"); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);

    if (const size_t dot = name.rfind('.'); dot == std::string_view::npos)
        return std::nullopt;
    else if (const std::string_view ext = name.substr(dot); SameTextAscii(ext, ".xml") || SameTextAscii(ext, ".zxml"))
        name = name.substr(0, dot);
    else
        return std::nullopt;

    // "ev_" then the port: one to five digits, a server's port has no leading zero.
    if (name.substr(0, 3) != "ev_")
        return std::nullopt;
    const size_t dash = name.find('-', 3);
    if (dash == std::string_view::npos || dash == 3 || dash - 3 > 5 || name[3] == '0')
        return std::nullopt;
    const std::optional<int> port = Digits(name, 3, dash - 3);
    // Then "YYYYMMDD_HHMM", and nothing after it.
    const size_t date = dash + 1;
    if (!port || *port > 65535 || name.size() != date + 13 || name[date + 8] != '_')
        return std::nullopt;
    const std::optional<int> year = Digits(name, date, 4), month = Digits(name, date + 4, 2),
                             day = Digits(name, date + 6, 2), hour = Digits(name, date + 9, 2),
                             minute = Digits(name, date + 11, 2);
    if (!year || !month || !day || !hour || !minute)
        return std::nullopt;
    if (*year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month) || *hour > 23 ||
        *minute > 59)
        return std::nullopt;
    return TLogName{*port, *year, *month, *day, *hour, *minute};
}

std::string LogStartText(const TLogName& name)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", name.Year, name.Month, name.Day, name.Hour,
                  name.Minute);
    return text;
}
