#pragma once

#include "base/Errors.h"

// Filling a match library from log files: each file is read once, and every round of it stored
// in one transaction, so that a scan killed midway keeps every file it finished. Logs are only
// ever read.

#include <functional>
#include <string>
#include <utility>
#include <vector>

class TLibraryDatabase;

// The library itself refused a write (read-only, full, gone): a scan stops at the first, for
// every log after it would fail the same way. A log that cannot be read is no such failure,
// nor is a library another program holds for a moment.
class ELibraryUnwritable : public EBaseError {
public:
    using EBaseError::EBaseError;
};

// What a scan did, as `ornwick library scan` prints it.
struct TScanSummary {
    int files = 0;   // the log files found
    int indexed = 0; // read and stored (new or changed)
    int skipped = 0; // unchanged since they were stored
    int failed = 0;  // could not be read at all
    int missing = 0; // stored before, gone now
    int rounds = 0;  // the rounds stored by this scan
    double seconds = 0;
    bool cancelled = false;
    std::vector<std::pair<std::string, std::string>> failures; // file, why
};

struct TScanProgress {
    int done = 0;  // files handled so far
    int total = 0; // files found
    std::string file; // the one being read
};

// Told of each file before it is read; answering false cancels the scan there.
using TScanReport = std::function<bool(const TScanProgress&)>;

// Whether a file's name is a log's: ".xml" or ".zxml" in any letter case.
bool IsLogFileName(const std::string& path);

// The log files (".xml", ".zxml", any letter case) of `folder` and its subfolders, sorted; a
// link to a log is the log it leads to. Each folder that cannot be read is added to `unreadable`
// with the reason.
std::vector<std::string> LogFilesIn(const std::string& folder,
                                    std::vector<std::pair<std::string, std::string>>* unreadable = nullptr);

// Stores one log file, replacing what the library held of it, in one transaction; returns the
// rounds stored. A log that ends early is stored as far as it can be read, with its note.
// Raises EBaseError when the file cannot be read at all (the library is left as it was).
// A log is read in pieces, a round at a time, so that the memory indexing takes does not grow
// with the log; one that cannot be read so (TStreamedLog) is read whole. Read in pieces, a log
// whose rounds are few enough to hold is read once, a larger one twice; InPiecesTwice reads
// every log twice, as if its rounds were too many. All store the same.
enum class TLogReadingWay { InPieces, InPiecesTwice, Whole };
// An SQLite library's rows are written through SQLite's own interface on the connection Qt
// opened, several times faster than Qt SQL's binding; a server's library always through Qt SQL.
// Both store the same values of the same kinds.
enum class TRowWriting { Direct, QtSql };
int IndexLogFile(TLibraryDatabase& library, const std::string& file, TLogReadingWay way = TLogReadingWay::InPieces,
                 TRowWriting writing = TRowWriting::Direct);

// Scans `folders`: new and changed logs are indexed, unchanged ones skipped, files the library
// holds in these folders but that are gone are marked missing. A file that fails is counted
// and passed over; it never stops the scan. With `readers` above 1, that many logs are read at
// once, each on a thread of its own, while the calling thread stores them in the same order:
// the library ends up the same, row for row.
TScanSummary ScanFolders(TLibraryDatabase& library, const std::vector<std::string>& folders,
                         const TScanReport& report = {}, int readers = 1);

// The logs a scan reads at once by default: one a core, less the `coresKept` for other work
// (the window's), at least 1 and at most MostScanReaders, two huge logs' memory together
// staying within the library's bound.
constexpr int MostScanReaders = 2;
int DefaultScanReaders(int coresKept = 0);

// A player's fields of the server's table as the library keeps them: a JSON array of
// [name, value] pairs in the table's order, the texts read as Latin-1.
std::string TableFieldsText(const std::vector<std::pair<std::string, std::string>>& fields);

// {"files":…,"indexed":…,"skipped":…,"failed":…,"missing":…,"rounds":…,"seconds":…}
std::string ScanSummaryJson(const TScanSummary& summary);
