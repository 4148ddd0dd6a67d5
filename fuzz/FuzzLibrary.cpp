// The library target: a log file indexed into a match library, as a scan reads one.
#include "FuzzScratch.h"
#include "FuzzTargets.h"

#include "base/Errors.h"
#include "library/LibraryDatabase.h"
#include "library/LibraryIndex.h"
#include "log/OpenedLog.h"

#include <QSqlQuery>
#include <QVariant>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

int64_t Count(TLibraryDatabase& library, const char* sql, const std::string& path)
{
    QSqlQuery query(library.Connection());
    FUZZ_CHECK(query.prepare(QString::fromLatin1(sql)));
    query.addBindValue(QString::fromLatin1(path.data(), static_cast<qsizetype>(path.size())));
    FUZZ_CHECK(query.exec() && query.next());
    return query.value(0).toLongLong();
}

// Every row of every table, as text with each value's kind: two libraries fed alike must hold
// the same.
std::vector<std::string> Everything(TLibraryDatabase& library)
{
    std::vector<std::string> rows;
    for (const char* table : {"files", "logs", "rounds", "identities", "identity_names", "player_rounds", "kills", "chat"}) {
        QSqlQuery query(library.Connection());
        FUZZ_CHECK(query.exec(QString::fromLatin1("SELECT * FROM ") + QString::fromLatin1(table) +
                              QString::fromLatin1(" ORDER BY 1, 2")));
        while (query.next()) {
            std::string row = table;
            for (int i = 0; query.value(i).isValid(); ++i)
                row += std::string("|") + (query.value(i).isNull() ? "null " : query.value(i).typeName()) + " " +
                       query.value(i).toString().toStdString();
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

// What indexing a file gave: its rounds, or its failure's message.
std::string Outcome(TLibraryDatabase& library, const std::string& log, TLogReadingWay way, TRowWriting writing)
{
    try {
        return std::to_string(IndexLogFile(library, log, way, writing));
    } catch (const EBaseError& error) {
        return std::string("failed: ") + error.what();
    }
}

// What a scan told, but for the time it took.
std::string Told(const TScanSummary& summary)
{
    std::string told = ScanSummaryJson(summary);
    told.erase(told.find(",\"seconds\""));
    for (const auto& [file, why] : summary.failures)
        told += "\n" + file + ": " + why;
    return told;
}

constexpr const char* RoundsOfFile =
    "SELECT COUNT(*) FROM rounds r JOIN logs l ON l.id = r.log_id JOIN files f ON f.id = l.file_id WHERE f.path = ?";
constexpr const char* FilesOfPath = "SELECT COUNT(*) FROM files WHERE path = ?";

} // namespace

void FuzzIndex(const uint8_t* data, size_t size)
{
    static const TFuzzScratch scratch;
    // One library for all inputs, as a user keeps one: each input replaces the last of its name.
    static const std::unique_ptr<TLibraryDatabase> library =
        std::make_unique<TLibraryDatabase>(scratch.Folder() + "/library.sqlite");
    const std::string log = scratch.Write(data, size);

    const int64_t before = Count(*library, RoundsOfFile, log);
    const int64_t held = Count(*library, FilesOfPath, log);
    int rounds = -1;
    try {
        rounds = IndexLogFile(*library, log);
    } catch (const EBaseError&) {
        // Refused whole: what the library held of the file stays.
        FUZZ_CHECK(Count(*library, RoundsOfFile, log) == before);
        FUZZ_CHECK(Count(*library, FilesOfPath, log) == held);
        return;
    }
    // The rounds of the round list are stored, each once, up to one that cannot be replayed,
    // and the file once.
    TOpenedLog opened;
    try {
        opened.Open(log);
    } catch (const EBaseError&) {
        // the walk's failure keeps the rounds found before it, as indexing does
    }
    FUZZ_CHECK(rounds <= static_cast<int>(opened.Rounds().size()));
    FUZZ_CHECK(Count(*library, RoundsOfFile, log) == rounds);
    FUZZ_CHECK(Count(*library, FilesOfPath, log) == 1);
    // Indexed again, it replaces itself.
    FUZZ_CHECK(IndexLogFile(*library, log) == rounds);
    FUZZ_CHECK(Count(*library, RoundsOfFile, log) == rounds);
}

void FuzzPieces(const uint8_t* data, size_t size)
{
    static const TFuzzScratch scratch;
    // Read in pieces (once or twice) or whole, a log gives the same rows, and so do SQLite's own
    // interface and Qt SQL's binding; the libraries are fed alike.
    static const std::unique_ptr<TLibraryDatabase> pieces =
        std::make_unique<TLibraryDatabase>(scratch.Folder() + "/pieces.sqlite");
    static const std::unique_ptr<TLibraryDatabase> whole =
        std::make_unique<TLibraryDatabase>(scratch.Folder() + "/whole.sqlite");
    const std::string log = scratch.Write(data, size);
    static const std::unique_ptr<TLibraryDatabase> twice =
        std::make_unique<TLibraryDatabase>(scratch.Folder() + "/twice.sqlite");
    const std::string wholly = Outcome(*whole, log, TLogReadingWay::Whole, TRowWriting::QtSql);
    FUZZ_CHECK(Outcome(*pieces, log, TLogReadingWay::InPieces, TRowWriting::Direct) == wholly);
    FUZZ_CHECK(Outcome(*twice, log, TLogReadingWay::InPiecesTwice, TRowWriting::Direct) == wholly);
    const std::vector<std::string> rows = Everything(*whole);
    FUZZ_CHECK(Everything(*pieces) == rows);
    FUZZ_CHECK(Everything(*twice) == rows);

    // A folder of the log twice, scanned reading one log at a time and two at once: the same
    // summary and the same rows.
    static const std::unique_ptr<TLibraryDatabase> one =
        std::make_unique<TLibraryDatabase>(scratch.Folder() + "/one.sqlite");
    static const std::unique_ptr<TLibraryDatabase> two =
        std::make_unique<TLibraryDatabase>(scratch.Folder() + "/two.sqlite");
    const std::string folder = scratch.Folder() + "/scan";
    std::filesystem::create_directories(folder);
    for (const char* name : {"/a", "/b"})
        std::ofstream(folder + name + log.substr(log.rfind('.')), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(Told(ScanFolders(*one, {folder}, {}, 1)) == Told(ScanFolders(*two, {folder}, {}, 2)));
    FUZZ_CHECK(Everything(*one) == Everything(*two));
}
