#pragma once

#include <optional>
#include <string>
#include <string_view>

// What a server's log file name says: "ev_<port>-<YYYYMMDD>_<HHMM>.xml" or ".zxml", the
// server's port and the local time at which it began the log.
struct TLogName {
    int Port = 0;
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
};

// The port and start of a log named by a path (in any folder, either kind of slash, the
// extension in any letter case); nothing when the name is not a server's or names an
// impossible port or moment.
std::optional<TLogName> ParseLogName(std::string_view path);

// The start as "YYYY-MM-DD HH:MM".
std::string LogStartText(const TLogName& name);
