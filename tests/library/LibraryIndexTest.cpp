// Indexing logs into a match library: the counts stored are the stats command's, players are
// followed across names and logs, a scan skips what it has and replaces what changed, and bad
// or vanished files never cost what the library held.
#include "../replay/LogText.h"
#include "LogGen.h"
#include "OldServerLog.h"
#include "TestLibrary.h"
#include "TestUtil.h"
#include "WholeRoundCounts.h"
#include "library/LibraryIndex.h"
#include "library/LibraryQuery.h"
#include "log/EventInfo.h"
#include "log/LogName.h"
#include "log/OpenedLog.h"
#include "log/PlayerIdentity.h"
#include "replay/RoundStats.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>

using namespace replaylog;
namespace fs = std::filesystem;

namespace {

std::string Latin1(const QVariant& value) { return value.toString().toLatin1().toStdString(); }

// The rows a statement gives, each value as text ("" for NULL); `binds` in order.
std::vector<std::vector<std::string>> Rows(TLibraryDatabase& library, const std::string& sql,
                                           const std::vector<QVariant>& binds = {})
{
    QSqlQuery query(library.Connection());
    EXPECT_TRUE(query.prepare(QString::fromStdString(sql))) << sql;
    for (const QVariant& value : binds)
        query.addBindValue(value);
    EXPECT_TRUE(query.exec()) << sql;
    std::vector<std::vector<std::string>> rows;
    while (query.next()) {
        std::vector<std::string>& row = rows.emplace_back();
        for (int i = 0; i < query.record().count(); ++i)
            row.push_back(query.value(i).isNull() ? "" : Latin1(query.value(i)));
    }
    return rows;
}

int64_t Count(TLibraryDatabase& library, const std::string& sql, const std::vector<QVariant>& binds = {})
{
    const auto rows = Rows(library, sql, binds);
    return rows.empty() ? -1 : std::stoll(rows[0][0]);
}

QVariant Q(const std::string& text) { return QString::fromLatin1(text); }

// Every table's rows, each value with the kind it is stored as, to tell that nothing changed.
std::vector<std::vector<std::string>> Everything(TLibraryDatabase& library)
{
    std::vector<std::vector<std::string>> all;
    for (const char* table : {"files", "logs", "rounds", "identities", "identity_names", "player_rounds", "kills", "chat"}) {
        QSqlQuery query(library.Connection());
        EXPECT_TRUE(query.exec(QString::fromLatin1("SELECT * FROM ") + QString::fromLatin1(table) +
                               QString::fromLatin1(" ORDER BY 1, 2")));
        while (query.next()) {
            std::vector<std::string>& row = all.emplace_back(1, table);
            for (int i = 0; i < query.record().count(); ++i)
                row.push_back(query.value(i).isNull() ? "NULL" : std::string(query.value(i).typeName()) + " " + Latin1(query.value(i)));
        }
    }
    return all;
}

std::optional<int> Number(const std::string& text)
{
    return text.empty() ? std::nullopt : std::optional<int>(std::stoi(text));
}

// Each round of the log as stored against what the stats command prints: the server's table
// and the replay's counts (with those of players who left before the end), player by player.
void ExpectStatsStored(TLibraryDatabase& library, const std::string& file)
{
    SCOPED_TRACE(file);
    TOpenedLog log;
    try {
        log.Open(file);
    } catch (const std::exception&) {
        // a walk that fails keeps the rounds it found, and so does the library
    }
    ASSERT_EQ(Count(library, "SELECT COUNT(*) FROM rounds r JOIN logs l ON l.id = r.log_id JOIN files f ON "
                             "f.id = l.file_id WHERE f.path = ?",
                    {Q(file)}),
              static_cast<int64_t>(log.Rounds().size()));
    for (int n = 0; n < static_cast<int>(log.Rounds().size()); ++n) {
        SCOPED_TRACE("round " + std::to_string(n));
        TEventInfoList events;
        log.BuildRoundEvents(n, events);
        const TRoundStats stats = ReadRoundStats(log.Document(), *log.Round(n));
        const auto counts = WholeRoundCounts(events, log.Roster());
        std::map<int32_t, std::vector<std::string>> stored;
        for (auto& row : Rows(library,
                              "SELECT p.player_id, p.name, p.table_kills, p.table_deaths, p.table_tks, p.table_score, "
                              "p.kills, p.deaths, p.tks FROM player_rounds p JOIN rounds r ON r.id = p.round_id "
                              "JOIN logs l ON l.id = r.log_id JOIN files f ON f.id = l.file_id "
                              "WHERE f.path = ? AND r.place = ?",
                              {Q(file), n}))
            EXPECT_TRUE(stored.emplace(std::stoi(row[0]), row).second) << "player " << row[0] << " twice";
        for (const TPlayerStat& row : stats.players) {
            ASSERT_TRUE(stored.count(*row.ID())) << "player " << *row.ID();
            const auto& p = stored[*row.ID()];
            EXPECT_EQ(p[1], row.Field("player_name"));
            EXPECT_EQ(Number(p[2]), Number(row.Field("kills")));
            EXPECT_EQ(Number(p[3]), Number(row.Field("deaths")));
            EXPECT_EQ(Number(p[4]), Number(row.Field("tks")));
            EXPECT_EQ(Number(p[5]), Number(row.Field("score")));
        }
        for (const auto& [id, c] : counts) {
            ASSERT_TRUE(stored.count(id)) << "counted player " << id;
            EXPECT_EQ(stored[id][6], std::to_string(c.kills)) << "player " << id;
            EXPECT_EQ(stored[id][7], std::to_string(c.deaths)) << "player " << id;
            EXPECT_EQ(stored[id][8], std::to_string(c.tks)) << "player " << id;
        }
    }
}

// Several servers' logs of the same people, with key hashes and name changes.
std::vector<std::string> Series(const TTempDir& dir, const std::string& folder, bool zxml = false)
{
    loggen::Options options;
    options.seed = 7;
    options.players = 12;
    options.rounds = 2;
    options.roundTime = 180;
    options.keyhash = true;
    options.nameChanges = true;
    options.servers = 2;
    options.logsPerServer = 2;
    options.zxml = zxml;
    options.outDir = dir.Path(folder);
    std::vector<std::string> files;
    for (const std::string& name : loggen::generateSeries(options))
        files.push_back(options.outDir + "/" + name);
    return files;
}

std::string SmallLog(uint64_t seed, int rounds = 2)
{
    loggen::Options options;
    options.seed = seed;
    options.players = 10;
    options.rounds = rounds;
    options.roundTime = 150;
    return loggen::generateToString(options);
}

// The library refuses to store a row of `table` whose `column` is `value` (an SQL literal), as
// a full disk would refuse it.
void RefuseRows(TLibraryDatabase& library, const std::string& table, const std::string& column, const std::string& value)
{
    QSqlQuery query(library.Connection());
    const std::string sql =
        library.Connection().driverName() == QStringLiteral("QSQLITE")
            ? "CREATE TRIGGER refuse BEFORE INSERT ON " + table + " WHEN NEW." + column + " = " + value +
                  " BEGIN SELECT RAISE(ABORT, 'refused'); END"
            : "ALTER TABLE " + table + " ADD CONSTRAINT refuse CHECK (" + column + " <> " + value + ")";
    EXPECT_TRUE(query.exec(QString::fromStdString(sql))) << sql;
}

TScanSummary Scan(TLibraryDatabase& library, const std::string& folder, const TScanReport& report = {}, int readers = 1)
{
    return ScanFolders(library, {folder}, report, readers);
}

} // namespace

TEST(LibraryIndex, StoredCountsAreTheStatsCommandsOnGeneratedSeries)
{
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    const std::vector<std::string> files = Series(dir, "logs");
    const TScanSummary summary = Scan(*library, dir.Path("logs"));
    EXPECT_EQ(summary.files, static_cast<int>(files.size()));
    EXPECT_EQ(summary.indexed, summary.files);
    EXPECT_EQ(summary.failed, 0);
    EXPECT_GT(summary.rounds, 0);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM rounds"), summary.rounds);
    for (const std::string& file : files)
        ExpectStatsStored(*library, file);
    // Each kill stored belongs to a stored round and names both players' identities.
    EXPECT_GT(Count(*library, "SELECT COUNT(*) FROM kills"), 0);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM kills WHERE killer_identity IS NULL OR victim_identity IS NULL"), 0);
    EXPECT_GT(Count(*library, "SELECT COUNT(*) FROM chat"), 0);
    // The file's name dates the log and names its port.
    for (const auto& row : Rows(*library, "SELECT l.port, l.started, l.dated_by_name, f.path FROM logs l "
                                          "JOIN files f ON f.id = l.file_id")) {
        const std::optional<TLogName> name = ParseLogName(row[3]);
        ASSERT_TRUE(name);
        EXPECT_EQ(row[1], LogStartText(*name));
        EXPECT_EQ(row[2], "1");
    }
}

TEST(LibraryIndex, StoredCountsAreTheStatsCommandsOnTheDemoLog)
{
    TSeparatorScope point('.');
    const std::string demo = std::string(ORNWICK_BIN_DIR) + "/demo/demo.zxml";
    if (!fs::exists(demo))
        GTEST_SKIP() << "no demo log at " << demo << " (build the target demo_log)";
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    fs::create_directory(dir.Path("demo"));
    fs::copy_file(demo, dir.Path("demo/demo.zxml"));
    EXPECT_EQ(Scan(*library, dir.Path("demo")).indexed, 1);
    ExpectStatsStored(*library, dir.Path("demo/demo.zxml"));
    // A name that is no server's leaves the date to the file's time, and the server to the log.
    const auto logs = Rows(*library, "SELECT dated_by_name, server FROM logs");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0][0], "0");
    EXPECT_FALSE(logs[0][1].empty());
}

TEST(LibraryIndex, KeyHashesAndNamesFollowPlayersAcrossLogs)
{
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    const std::vector<std::string> files = Series(dir, "logs");
    Scan(*library, dir.Path("logs"));

    // What each log says of its players, gathered over the logs.
    std::map<std::string, std::set<std::string>> namesOf; // identity -> names
    std::map<std::string, std::set<std::string>> filesOf;
    for (const std::string& file : files) {
        TOpenedLog log;
        log.Open(file);
        for (const TPlayerIdentity& identity : PlayerIdentities(log.Document())) {
            const std::string key = identity.KeyHash.empty() ? "name:" + identity.Names.front() : identity.KeyHash;
            namesOf[key].insert(identity.Names.begin(), identity.Names.end());
            filesOf[key].insert(file);
        }
    }
    bool acrossLogs = false, renamed = false, bots = false;
    for (const auto& [key, names] : namesOf) {
        SCOPED_TRACE(key);
        const auto rows = Rows(*library, "SELECT i.keyhash, n.name FROM identities i JOIN identity_names n "
                                         "ON n.identity_id = i.id WHERE i.identity = ?",
                               {Q(key)});
        std::set<std::string> stored;
        for (const auto& row : rows) {
            stored.insert(row[1]);
            EXPECT_EQ(row[0], key.rfind("name:", 0) == 0 ? "" : key);
        }
        EXPECT_EQ(stored, names);
        const int64_t logs = Count(*library,
                                   "SELECT COUNT(DISTINCT l.file_id) FROM player_rounds p JOIN identities i ON "
                                   "i.id = p.identity_id JOIN rounds r ON r.id = p.round_id JOIN logs l ON l.id = "
                                   "r.log_id WHERE i.identity = ?",
                                   {Q(key)});
        EXPECT_LE(logs, static_cast<int64_t>(filesOf[key].size()));
        acrossLogs |= key.rfind("name:", 0) != 0 && logs > 1;
        renamed |= key.rfind("name:", 0) != 0 && names.size() > 1;
    }
    // The generator's bots are never created, only named by the server's table: they are
    // known by that name, one identity over all logs.
    for (const auto& row : Rows(*library, "SELECT identity, keyhash FROM identities")) {
        if (namesOf.count(row[0]))
            continue;
        EXPECT_EQ(row[0].rfind("name:", 0), 0u) << row[0];
        EXPECT_EQ(row[1], "");
        bots |= row[0].rfind("name:Bot_", 0) == 0;
    }
    EXPECT_TRUE(acrossLogs) << "no key hash joined two logs";
    EXPECT_TRUE(renamed) << "no player with two names";
    EXPECT_TRUE(bots) << "no bot known by name";
    // Every player of every round has an identity of the log's.
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM player_rounds WHERE identity_id IS NULL"), 0);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM identities WHERE keyhash <> ''"),
              static_cast<int64_t>(std::count_if(namesOf.begin(), namesOf.end(),
                                                 [](const auto& i) { return i.first.rfind("name:", 0) != 0; })));
}

TEST(LibraryIndex, AScanSkipsWhatItHasReplacesWhatChangedAndMarksWhatWent)
{
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    fs::create_directories(dir.Path("logs/sub"));
    const std::string a = dir.Write("logs/a.xml", SmallLog(1));
    const std::string b = dir.Write("logs/sub/b.XML", SmallLog(2));
    const std::string c = dir.Write("logs/sub/c.zxml", ZlibCompressed(SmallLog(3)));
    dir.Write("logs/notes.txt", "not a log");

    TScanSummary first = Scan(*library, dir.Path("logs"));
    EXPECT_EQ(first.files, 3);
    EXPECT_EQ(first.indexed, 3);
    EXPECT_EQ(first.skipped, 0);
    const int64_t rounds = Count(*library, "SELECT COUNT(*) FROM rounds");
    EXPECT_EQ(rounds, first.rounds);

    TScanSummary again = Scan(*library, dir.Path("logs"));
    EXPECT_EQ(again.skipped, 3);
    EXPECT_EQ(again.indexed, 0);
    EXPECT_EQ(again.rounds, 0);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM rounds"), rounds);

    // Indexing a file again replaces it whole. (The generator leaves a log's last round open,
    // and the round list leaves it out.)
    EXPECT_EQ(IndexLogFile(*library, a), 1);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM rounds"), rounds);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM files"), 3);

    // A changed file is read again, its rounds replaced; the others are skipped.
    const std::string before = Rows(*library, "SELECT hash FROM files WHERE path = ?", {Q(b)})[0][0];
    dir.Write("logs/sub/b.XML", SmallLog(4, 3));
    TScanSummary changed = Scan(*library, dir.Path("logs"));
    EXPECT_EQ(changed.indexed, 1);
    EXPECT_EQ(changed.skipped, 2);
    EXPECT_EQ(changed.rounds, 2);
    EXPECT_NE(Rows(*library, "SELECT hash FROM files WHERE path = ?", {Q(b)})[0][0], before);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM rounds"), rounds + 1);

    // A file touched, its size the same, is read again too.
    struct stat info {};
    ASSERT_EQ(::stat(a.c_str(), &info), 0);
    const struct timespec times[2] = {info.st_atim, {info.st_mtim.tv_sec + 60, info.st_mtim.tv_nsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, a.c_str(), times, 0), 0);
    EXPECT_EQ(Scan(*library, dir.Path("logs")).indexed, 1);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM rounds"), rounds + 1);

    // A file that went is marked, its rows kept; found again, unmarked without being read.
    const std::string kept = ReadFileBytes(c);
    fs::rename(c, dir.Path("c.zxml"));
    TScanSummary gone = Scan(*library, dir.Path("logs"));
    EXPECT_EQ(gone.missing, 1);
    EXPECT_EQ(gone.files, 2);
    EXPECT_EQ(Rows(*library, "SELECT missing FROM files WHERE path = ?", {Q(c)})[0][0], "1");
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM files WHERE missing = 1"), 1);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM rounds"), rounds + 1);
    // A scan of another folder marks nothing of this one.
    fs::create_directory(dir.Path("other"));
    EXPECT_EQ(Scan(*library, dir.Path("other")).missing, 0);
    EXPECT_EQ(Scan(*library, dir.Path("logs/su")).missing, 0); // a name that only begins the same

    fs::rename(dir.Path("c.zxml"), c);
    TScanSummary back = Scan(*library, dir.Path("logs"));
    EXPECT_EQ(back.skipped, 3);
    EXPECT_EQ(back.missing, 0);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM files WHERE missing = 1"), 0);
}

TEST(LibraryIndex, ACutOffLogIsStoredAsFarAsItReadsWithItsNote)
{
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    const std::string whole = ZlibCompressed(SmallLog(5, 4));
    const std::string file = dir.Write("ev_16567-20240301_2015.zxml", whole.substr(0, whole.size() * 3 / 4));
    const int rounds = IndexLogFile(*library, file);
    EXPECT_GT(rounds, 0);
    EXPECT_LT(rounds, 4);
    TOpenedLog log;
    try {
        log.Open(file);
    } catch (const std::exception&) {
        // the rounds found before the walk failed stay
    }
    const auto row = Rows(*library, "SELECT note, readable, size FROM files")[0];
    EXPECT_EQ(row[0], log.Reading().Note());
    EXPECT_EQ(row[0].rfind("The log is cut off: ", 0), 0u) << row[0];
    EXPECT_EQ(row[1], std::to_string(log.Reading().textSize));
    EXPECT_EQ(row[2], std::to_string(whole.size() * 3 / 4));
    ExpectStatsStored(*library, file);
    const auto logs = Rows(*library, "SELECT port, started, dated_by_name, server FROM logs")[0];
    EXPECT_EQ(logs[1], "2024-03-01 20:15");
    EXPECT_EQ(logs[2], "1");
    // The rounds start as long after the log's start as their first events after its first.
    const auto started = Rows(*library, "SELECT started FROM rounds ORDER BY place");
    ASSERT_FALSE(started.empty());
    EXPECT_GE(started.back()[0], started.front()[0]);
    EXPECT_GE(started.front()[0], "2024-03-01 20:15");
}

TEST(LibraryIndex, AFilesHashIsTheSha1OfItsBytesAsTheyLieOnDisk)
{
    // Hashed from the bytes the log was read from: a compressed log's are the compressed ones,
    // also when they break off.
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    const std::string text = SmallLog(9, 3);
    const std::string packed = ZlibCompressed(text);
    const std::vector<std::string> contents = {text, packed, packed.substr(0, packed.size() * 2 / 3)};
    const std::vector<std::string> files = {dir.Write("ev_16567-20240301_2015.xml", contents[0]),
                                            dir.Write("ev_16567-20240301_2115.zxml", contents[1]),
                                            dir.Write("ev_16567-20240301_2215.zxml", contents[2])};
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_GT(IndexLogFile(*library, files[i]), 0) << files[i];
        const QByteArray expected =
            QCryptographicHash::hash(QByteArray::fromStdString(contents[i]), QCryptographicHash::Sha1).toHex();
        const auto row = Rows(*library, "SELECT hash FROM files WHERE path = ?", {Q(files[i])});
        ASSERT_EQ(row.size(), 1u) << files[i];
        EXPECT_EQ(row[0][0], expected.toStdString()) << files[i];
    }
}

TEST(LibraryIndex, FilesThatCannotBeReadAreCountedAndTheScanGoesOn)
{
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    fs::create_directory(dir.Path("logs"));
    const std::string garbage = dir.Write("logs/a-garbage.zxml", std::string(4000, '\x9c'));
    dir.Write("logs/b.xml", SmallLog(6));
    const TScanSummary summary = Scan(*library, dir.Path("logs"));
    EXPECT_EQ(summary.files, 2);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_EQ(summary.indexed, 1);
    ASSERT_EQ(summary.failures.size(), 1u);
    EXPECT_EQ(summary.failures[0].first, garbage);
    EXPECT_FALSE(summary.failures[0].second.empty());
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM files"), 1);
    // The failed file is tried again by the next scan.
    EXPECT_EQ(Scan(*library, dir.Path("logs")).failed, 1);
    // A folder that is not there is told, not a failed file.
    const TScanSummary none = ScanFolders(*library, {dir.Path("nowhere")});
    EXPECT_EQ(none.files, 0);
    EXPECT_EQ(none.failed, 0);
    EXPECT_EQ(none.failures.size(), 1u);
}

TEST(LibraryIndex, AFailureInsideAFileLeavesTheLibraryAsItWas)
{
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    const std::string file = dir.Write("log.xml", Log(Round(Ev("chat", "5", 3, "", {{"text", "hello"}}))));
    IndexLogFile(*library, file);
    const auto before = Everything(*library);
    ASSERT_FALSE(before.empty());

    // The library refuses one chat line: the file's new rounds, written before it, must go too.
    RefuseRows(*library, "chat", "text", "'boom'");
    dir.Write("log.xml", Log(Round(Ev("chat", "5", 3, "", {{"text", "hi"}}) + Ev("chat", "6", 5, "", {{"text", "boom"}}),
                                   "other")));
    EXPECT_NE(MessageOf([&] { IndexLogFile(*library, file); }), "");
    EXPECT_EQ(Everything(*library), before);
    // A file that no longer reads at all leaves it too.
    dir.Write("log.xml", std::string(100, '\x9c'));
    fs::rename(file, dir.Path("log.zxml"));
    EXPECT_NE(MessageOf([&] { IndexLogFile(*library, dir.Path("log.zxml")); }), "");
    EXPECT_EQ(Everything(*library), before);
}

TEST(LibraryIndex, ACancelledScanKeepsTheFilesItFinished)
{
    for (const int readers : {1, 2, 3}) {
        SCOPED_TRACE(std::to_string(readers) + " readers");
        TSeparatorScope point('.');
        TTempDir dir;
        auto library = NewTestLibrary(dir);
        fs::create_directory(dir.Path("logs"));
        for (const char* name : {"a.xml", "b.xml", "c.xml"})
            dir.Write(std::string("logs/") + name, SmallLog(name[0]));
        std::vector<TScanProgress> told;
        const TScanSummary summary = Scan(*library, dir.Path("logs"), [&told](const TScanProgress& progress) {
            told.push_back(progress);
            return progress.done < 2;
        }, readers);
        EXPECT_TRUE(summary.cancelled);
        EXPECT_EQ(summary.indexed, 2);
        ASSERT_EQ(told.size(), 3u);
        EXPECT_EQ(told[1].done, 1);
        EXPECT_EQ(told[1].total, 3);
        EXPECT_EQ(told[1].file, dir.Path("logs/b.xml"));
        EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM files"), 2);
        EXPECT_EQ(Scan(*library, dir.Path("logs")).indexed, 1);
    }
}

TEST(LibraryIndex, LogsAreOnlyRead)
{
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    fs::create_directory(dir.Path("logs"));
    const std::vector<std::string> files = {dir.Write("logs/a.xml", SmallLog(8)),
                                            dir.Write("logs/b.zxml", ZlibCompressed(SmallLog(9)))};
    std::vector<std::pair<std::string, int64_t>> before;
    for (const std::string& file : files) {
        // Files that cannot be written are read all the same.
        ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
        struct stat info {};
        ::stat(file.c_str(), &info);
        before.push_back({ReadFileBytes(file), info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec});
    }
    EXPECT_EQ(Scan(*library, dir.Path("logs")).indexed, 2);
    for (size_t i = 0; i < files.size(); ++i) {
        struct stat info {};
        ::stat(files[i].c_str(), &info);
        EXPECT_EQ(ReadFileBytes(files[i]), before[i].first);
        EXPECT_EQ(info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec, before[i].second);
    }
}

TEST(LibraryIndex, AHostileNameIsAName)
{
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    const std::string hostile = "'); DROP TABLE rounds; --";
    const std::string file = dir.Write(
        "log.xml",
        Log(Round(Ev("createPlayer", "1", 9, "10/0/10", {{"name", hostile}}) +
                  Ev("spawnEvent", "2", 9, "10/0/10", {{"team", "1"}}) + Ev("spawnEvent", "2", 5, "20/0/20", {{"team", "2"}}) +
                  Score("5", 9, "11/0/11", "Kill", {{"victim_id", "5"}, {"weapon", hostile}}) +
                  Score("5", 5, "20/0/20", "Death") + Ev("chat", "6", 9, "", {{"text", hostile}}))));
    EXPECT_EQ(IndexLogFile(*library, file), 1);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM rounds"), 1);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM identity_names WHERE name = ?", {Q(hostile)}), 1);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM identities WHERE identity = ?", {Q("name:" + hostile)}), 1);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM kills WHERE killer_name = ? AND weapon = ?", {Q(hostile), Q(hostile)}), 1);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM chat WHERE name = ? AND text = ?", {Q(hostile), Q(hostile)}), 1);
    // The kill names both players as the library knows them, with their sides.
    const auto kill = Rows(*library, "SELECT k.killer_team, k.victim_team, i.identity, v.identity, k.killer_x, k.victim_z "
                                     "FROM kills k JOIN identities i ON i.id = k.killer_identity "
                                     "JOIN identities v ON v.id = k.victim_identity");
    ASSERT_EQ(kill.size(), 1u);
    EXPECT_EQ(kill[0], (std::vector<std::string>{"1", "2", "name:" + hostile, "name:Bert", "11", "20"}));
}

TEST(LibraryIndex, WithoutTheServersTableAPlayerCountsWhatTheReplayCounted)
{
    using namespace oldserverlog;
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    ASSERT_EQ(IndexLogFile(*library, dir.Write("ev_14567-20040501_2000.xml", Text())), 2);
    std::map<std::string, TLibraryPlayer> players;
    for (const TLibraryPlayer& p : LibraryPlayers(*library))
        players[p.names.at(0)] = p;
    // Anna left both rounds before they ended: her kills are the three and the one the replay
    // counted until then.
    ASSERT_TRUE(players.count(Anna));
    EXPECT_EQ(players[Anna].kills, 4);
    EXPECT_EQ(players[Anna].deaths, 1);
    EXPECT_EQ(players[Anna].rounds, 2);
    EXPECT_EQ(players[Bert].deaths, 4);
    EXPECT_EQ(players[Jaeger].kills, 1);
    const std::optional<TPlayerPage> page = PlayerPage(*library, Anna);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->player.kills, 4);
    EXPECT_EQ(page->player.ratio, 4.0);
    EXPECT_EQ(page->kills.size(), 4u);
    EXPECT_EQ(page->byWeapon, (std::vector<std::pair<std::string, int>>{{"M16", 4}}));

}

TEST(LibraryIndex, TextsAreStoredWithEveryEntityDecoded)
{
    using namespace oldserverlog;
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    ASSERT_EQ(IndexLogFile(*library, dir.Write("ev_14567-20040501_2000.xml", Text())), 2);
    const std::vector<TLibraryRound> rounds = LibraryRounds(*library, {});
    ASSERT_EQ(rounds.size(), 2u);
    for (const TLibraryRound& r : rounds)
        EXPECT_EQ(r.server, Server);
    std::set<std::string> names;
    for (const TLibraryPlayer& p : LibraryPlayers(*library)) {
        EXPECT_EQ(p.names.size(), 1u);
        names.insert(p.names.begin(), p.names.end());
    }
    EXPECT_EQ(names, (std::set<std::string>{Anna, Bert, Jaeger}));
    // The rounds' and the kills' names are the players' own, found in any letter case.
    EXPECT_EQ(LibraryRounds(*library, {.player = "J\xC4GER"}).size(), 2u);
    const std::optional<TPlayerPage> page = PlayerPage(*library, Bert);
    ASSERT_TRUE(page);
    ASSERT_EQ(page->deaths.size(), 4u);
    EXPECT_EQ(page->deaths[0].killer, Anna);
    EXPECT_EQ(page->deaths[0].victim, Bert);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM player_rounds WHERE name NOT IN (?, ?, ?)", {Q(Anna), Q(Bert), Q(Jaeger)}), 0);
}

// A library the first version stored kept the counts and texts of another reading: once the
// library is brought up to date, the next scan reads every file again.
TEST(LibraryIndex, ALibraryOfTheFirstVersionIsIndexedAgainByTheNextScan)
{
    TSeparatorScope point('.');
    TTempDir dir;
    const TTestLibraryPlace place(dir);
    fs::create_directory(dir.Path("logs"));
    dir.Write("logs/ev_14567-20040501_2000.xml", oldserverlog::Text());
    {
        TLibraryDatabase library(place.Location());
        EXPECT_EQ(Scan(library, dir.Path("logs")).indexed, 1);
        EXPECT_EQ(Scan(library, dir.Path("logs")).skipped, 1);
    }
    place.Execute({"UPDATE ornwick_library SET version = 1", "UPDATE logs SET server = 'as version 1 stored it'"});
    TLibraryDatabase library(place.Location());
    EXPECT_EQ(library.SchemaVersion(), LibrarySchemaVersion);
    EXPECT_EQ(LibraryRounds(library, {}).at(0).server, "as version 1 stored it"); // readable until then
    const TScanSummary summary = Scan(library, dir.Path("logs"));
    EXPECT_EQ(summary.indexed, 1);
    EXPECT_EQ(summary.skipped, 0);
    EXPECT_EQ(LibraryRounds(library, {}).at(0).server, oldserverlog::Server);
    EXPECT_EQ(Scan(library, dir.Path("logs")).skipped, 1);
}

TEST(LibraryIndex, ScanSummaryJsonNamesEveryCount)
{
    TScanSummary summary;
    summary.files = 5;
    summary.indexed = 2;
    summary.skipped = 1;
    summary.failed = 1;
    summary.missing = 3;
    summary.rounds = 7;
    summary.seconds = 1.25;
    EXPECT_EQ(ScanSummaryJson(summary),
              R"({"files":5,"indexed":2,"skipped":1,"failed":1,"missing":3,"rounds":7,"seconds":1.250})");
}

// The fields a server may write, any byte in a name or a value, read back from the stored JSON
// as they were, in their order.
TEST(LibraryIndex, TableFieldsReadBackAsTheyWereForEveryByte)
{
    std::string every;
    for (int c = 1; c < 256; ++c)
        every += static_cast<char>(c);
    const std::vector<std::vector<std::pair<std::string, std::string>>> cases = {
        {}, {{"", ""}}, {{"player_name", every}, {every, "12"}, {"kills", "3"}}, {{"a\"b\\", "\b\f\x7f\x80\xff"}}};
    for (const auto& fields : cases) {
        QJsonParseError error;
        const QJsonDocument back = QJsonDocument::fromJson(QByteArray::fromStdString(TableFieldsText(fields)), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        ASSERT_EQ(back.array().size(), static_cast<qsizetype>(fields.size()));
        for (size_t i = 0; i < fields.size(); ++i) {
            const QJsonArray pair = back.array()[static_cast<qsizetype>(i)].toArray();
            ASSERT_EQ(pair.size(), 2);
            EXPECT_EQ(pair[0].toString().toLatin1().toStdString(), fields[i].first);
            EXPECT_EQ(pair[1].toString().toLatin1().toStdString(), fields[i].second);
        }
    }
}

TEST(LibraryIndex, APlayersTimeIsTheirStaysWithinTheRound)
{
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    // Dirk joins before the round, outside it; Carl leaves at 30 and comes back at 45.
    const std::string dirk = "<bf:event name=\"createPlayer\" timestamp=\"0\"><bf:param name=\"player_id\">9</bf:param>"
                             "<bf:param name=\"name\">Dirk</bf:param></bf:event>";
    const std::string text =
        "<?xml version=\"1.0\"?>\n<bf:log>" + dirk +
        Round(Ev("spawnEvent", "10", 3, "100/0/100", {{"team", "1"}}) + Ev("spawnEvent", "10", 9, "100/0/100", {{"team", "1"}}) +
              Ev("spawnEvent", "12", 7, "100/0/100", {{"team", "2"}}) + Ev("destroyPlayer", "30", 7, "") +
              Ev("createPlayer", "45", 7, "", {{"name", "Carl"}}) + Ev("spawnEvent", "60", 5, "100/0/100", {{"team", "2"}})) +
        "</bf:log>";
    IndexLogFile(*library, dir.Write("log.xml", text));
    std::map<std::string, std::string> seconds;
    for (const auto& row : Rows(*library, "SELECT name, seconds FROM player_rounds"))
        seconds[row[0]] = row[1];
    EXPECT_EQ(seconds["Anna"], "50");
    EXPECT_EQ(seconds["Carl"], "35");
    EXPECT_EQ(seconds["Dirk"], "50");
    EXPECT_EQ(Rows(*library, "SELECT length FROM rounds")[0][0], "50");
}

TEST(LibraryIndex, ALogNamedByNoServerIsDatedByItsFileTimeAndSaysSo)
{
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    const std::string named = dir.Write("ev_16567-20240301_2015.xml", SmallLog(11));
    const std::string unnamed = dir.Write("copied match.xml", SmallLog(12));
    // 2023-11-14 22:13:20 UTC, shown in the machine's local time as the file browser shows it.
    const auto moment = std::filesystem::file_time_type::clock::now() -
                        (std::chrono::system_clock::now() - std::chrono::system_clock::from_time_t(1700000000));
    std::filesystem::last_write_time(unnamed, moment);
    IndexLogFile(*library, named);
    IndexLogFile(*library, unnamed);
    std::map<std::string, TLibraryRound> byFile;
    for (const TLibraryRound& round : LibraryRounds(*library, {}))
        byFile.emplace(round.file, round);
    ASSERT_EQ(byFile.size(), 2u);
    EXPECT_TRUE(byFile.rbegin()->second.datedByName) << byFile.rbegin()->first;
    const TLibraryRound& copied = byFile.begin()->second; // "copied match.xml" sorts first
    EXPECT_FALSE(copied.datedByName);
    const QString local = QDateTime::fromSecsSinceEpoch(1700000000).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    EXPECT_EQ(copied.started.substr(0, 10), local.toStdString().substr(0, 10));
}

TEST(LibraryIndex, ALinkToALogIsThatLogAndCountsOnce)
{
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    fs::create_directory(dir.Path("logs"));
    const std::string log = dir.Write("logs/ev_16567-20240301_2015.xml", SmallLog(21));
    // Stored under the name of a copy first, as a link was stored before: then the copy becomes
    // a link to the log.
    const std::string link = dir.Write("logs/link.xml", SmallLog(21));
    Scan(*library, dir.Path("logs"));
    const int64_t once = Count(*library, "SELECT COUNT(*) FROM rounds") / 2;
    ASSERT_GT(once, 0);
    fs::remove(link);
    fs::create_symlink(log, link);
    const TScanSummary summary = Scan(*library, dir.Path("logs"));
    EXPECT_EQ(summary.files, 1);
    EXPECT_EQ(summary.missing, 0);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM rounds"), once);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM files"), 1);
    // A new library takes the link for the log from the start.
    TTempDir other;
    auto fresh = NewTestLibrary(other);
    EXPECT_EQ(Scan(*fresh, dir.Path("logs")).files, 1);
    EXPECT_EQ(Count(*fresh, "SELECT COUNT(*) FROM rounds"), once);
}

TEST(LibraryIndex, AFolderThatCannotBeReadIsSaidAndTheRestFound)
{
    TTempDir dir;
    fs::create_directories(dir.Path("logs/shut"));
    fs::create_directories(dir.Path("logs/open"));
    dir.Write("logs/open/a.xml", "<bf:log/>");
    dir.Write("logs/shut/b.xml", "<bf:log/>");
    fs::create_symlink(dir.Path("logs/gone.xml"), dir.Path("logs/dangling.xml")); // ends no walk
    fs::permissions(dir.Path(""), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir.Path("logs"), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir.Path("logs/open"), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir.Path("logs/shut"), fs::perms::none);
    // Root reads every folder: the walk runs as a user of no rights, in a process of its own.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        std::vector<std::pair<std::string, std::string>> unreadable;
        const std::vector<std::string> files = LogFilesIn(dir.Path("logs"), &unreadable);
        std::string answer = std::to_string(files.size()) + "\n";
        for (const auto& [folder, why] : unreadable)
            answer += folder + "|" + why + "\n";
        const ssize_t written = ::write(pipeEnds[1], answer.data(), answer.size());
        ::_exit(written == static_cast<ssize_t>(answer.size()) ? 0 : 3);
    }
    ::close(pipeEnds[1]);
    std::string answer;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, static_cast<size_t>(n));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    fs::permissions(dir.Path("logs/shut"), fs::perms::owner_all);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(answer, "1\n" + fs::path(dir.Path("logs/shut")).lexically_normal().string() + "|Cannot read folder " +
                          fs::path(dir.Path("logs/shut")).lexically_normal().string() + ": Permission denied\n");
}

TEST(LibraryIndex, ALogReplacedByBytesThatDoNotReadLosesItsRoundsUntilItReadsAgain)
{
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    fs::create_directory(dir.Path("logs"));
    const std::string log = dir.Write("logs/crashed.zxml", "");
    const std::string good = loggen::generateToString([] {
        loggen::Options options;
        options.seed = 31;
        options.players = 6;
        options.rounds = 2;
        options.roundTime = 120;
        options.zxml = true;
        return options;
    }());
    WriteWholeFile(log, good);
    ASSERT_EQ(Scan(*library, dir.Path("logs")).failed, 0);
    const int64_t rounds = Count(*library, "SELECT COUNT(*) FROM rounds");
    ASSERT_GT(rounds, 0);
    WriteWholeFile(log, std::string(4096, '\x7f'));
    const TScanSummary broken = Scan(*library, dir.Path("logs"));
    EXPECT_EQ(broken.failed, 1);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM rounds"), 0);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM player_rounds"), 0);
    WriteWholeFile(log, good);
    EXPECT_EQ(Scan(*library, dir.Path("logs")).failed, 0);
    EXPECT_EQ(Count(*library, "SELECT COUNT(*) FROM rounds"), rounds);
}

TEST(LibraryIndex, AScanStopsAtTheFirstWriteTheLibraryItselfRefuses)
{
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    if (library->Engine() != TLibraryEngine::SQLite)
        GTEST_SKIP() << "a library that refuses every write is made with SQLite's query_only";
    fs::create_directory(dir.Path("logs"));
    for (int i = 0; i < 4; ++i)
        dir.Write("logs/ev_16567-2024030" + std::to_string(i + 1) + "_2015.xml", SmallLog(40 + i));
    for (const int readers : {1, 2}) {
        SCOPED_TRACE(readers);
        // As a library on a read-only file or a full disk: every write refused.
        ASSERT_TRUE(QSqlQuery(library->Connection()).exec(QStringLiteral("PRAGMA query_only = 1")));
        try {
            Scan(*library, dir.Path("logs"), {}, readers);
            ADD_FAILURE() << "the scan went on";
        } catch (const ELibraryUnwritable& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind("The match library cannot be written: ", 0), 0u) << message;
            EXPECT_NE(message.find("the scan stopped at " + dir.Path("logs/ev_16567-20240301_2015.xml")), std::string::npos)
                << message;
        }
        ASSERT_TRUE(QSqlQuery(library->Connection()).exec(QStringLiteral("PRAGMA query_only = 0")));
    }
    EXPECT_EQ(Scan(*library, dir.Path("logs")).indexed, 4);
}

TEST(LibraryIndex, AFileTimeBeyond2262IsDatedRightAndSeenUnchanged)
{
    // Nanoseconds since 1970 overflow 64 bits in April 2262.
    TSeparatorScope point('.');
    TTempDir dir;
    auto library = NewTestLibrary(dir);
    fs::create_directory(dir.Path("logs"));
    const std::string log = dir.Write("logs/far future.xml", SmallLog(13));
    const int64_t moment = 10413792000; // 2300-01-01 00:00:00 UTC
    const struct timespec times[2] = {{moment, 0}, {moment, 500}};
    ASSERT_EQ(::utimensat(AT_FDCWD, log.c_str(), times, 0), 0);
    EXPECT_EQ(Scan(*library, dir.Path("logs")).indexed, 1);
    const std::vector<TLibraryRound> rounds = LibraryRounds(*library, {});
    ASSERT_FALSE(rounds.empty());
    const QString local = QDateTime::fromSecsSinceEpoch(moment).toString(QStringLiteral("yyyy-MM-dd"));
    EXPECT_EQ(rounds[0].started.substr(0, 10), local.toStdString());
    EXPECT_FALSE(rounds[0].datedByName);
    EXPECT_EQ(Scan(*library, dir.Path("logs")).skipped, 1);
}

namespace {

// A log indexed read in pieces, once or twice, and read whole stores the same rows, or fails
// the same way.
void ExpectReadingsAgree(const TTempDir& dir, const std::string& file)
{
    SCOPED_TRACE(file);
    static int libraries = 0;
    const std::string name = "agree" + std::to_string(++libraries);
    TLibraryDatabase pieces(dir.Path(name + "-pieces.sqlite"));
    TLibraryDatabase twice(dir.Path(name + "-twice.sqlite"));
    TLibraryDatabase whole(dir.Path(name + "-whole.sqlite"));
    auto index = [&file](TLibraryDatabase& library, TLogReadingWay way, TRowWriting writing) {
        try {
            return std::to_string(IndexLogFile(library, file, way, writing)) + " rounds";
        } catch (const std::exception& error) {
            return std::string("failed: ") + error.what();
        }
    };
    // The whole reading's rows go through Qt SQL's binding: SQLite's own interface must store
    // the same values of the same kinds.
    const std::string wholly = index(whole, TLogReadingWay::Whole, TRowWriting::QtSql);
    EXPECT_EQ(index(pieces, TLogReadingWay::InPieces, TRowWriting::Direct), wholly);
    EXPECT_EQ(index(twice, TLogReadingWay::InPiecesTwice, TRowWriting::Direct), wholly);
    const auto rows = Everything(whole);
    EXPECT_EQ(Everything(pieces), rows);
    EXPECT_EQ(Everything(twice), rows);
}

std::string Player(const char* kind, const std::string& time, int id, const std::string& name = "")
{
    return Ev(kind, time, id, "", name.empty() ? TParams{} : TParams{{"name", name}});
}

// Larger than a piece, so that pieces end inside tokens; key hashes, name changes and places
// across a real-sized world.
std::string BigLog(uint64_t seed, int players, size_t size)
{
    loggen::Options big;
    big.seed = seed;
    big.players = players;
    big.size = size;
    big.keyhash = true;
    big.nameChanges = true;
    big.realWorld = true;
    return loggen::generateToString(big);
}

} // namespace

TEST(LibraryIndex, ReadInPiecesItStoresWhatAWholeReadingStores)
{
    TSeparatorScope point('.');
    TTempDir dir;
    for (const bool zxml : {false, true})
        for (const std::string& file : Series(dir, zxml ? "zxml" : "xml", zxml))
            ExpectReadingsAgree(dir, file);

    const std::string bigText = BigLog(21, 40, 3000000);
    ExpectReadingsAgree(dir, dir.Write("ev_16567-20250102_1200.xml", bigText));
    const std::string packed = ZlibCompressed(bigText);
    ExpectReadingsAgree(dir, dir.Write("ev_16567-20250102_1300.zxml", packed));
    // A compressed log cut off, damaged, with a wrong check value, joined to another, or
    // followed by bytes that are no stream.
    ExpectReadingsAgree(dir, dir.Write("cut.zxml", packed.substr(0, packed.size() * 2 / 3)));
    std::string damaged = packed;
    damaged[damaged.size() / 2] ^= 0x55;
    ExpectReadingsAgree(dir, dir.Write("damaged.zxml", damaged));
    std::string check = packed;
    check.back() ^= 1;
    ExpectReadingsAgree(dir, dir.Write("check.zxml", check));
    ExpectReadingsAgree(dir, dir.Write("joined.zxml", ZlibCompressed(SmallLog(3)) + ZlibCompressed(SmallLog(4))));
    ExpectReadingsAgree(dir, dir.Write("trailing.zxml", ZlibCompressed(SmallLog(3)) + "not a stream"));
    ExpectReadingsAgree(dir, dir.Write("empty.zxml", ""));
    ExpectReadingsAgree(dir, dir.Write("nothing.zxml", "not a stream"));

    // The roster's quirks: players who join between rounds are added after everyone who
    // joined within one, and a leave between rounds ends the latest stay of its id, maybe a
    // later one; ids come back; key hashes and names change; chat in CDATA; a comment.
    const std::string rounds =
        Player("createPlayer", "1", 9, "Zed") + Ev("playerKeyHash", "1", 9, "", {{"keyhash", std::string(32, 'a')}}) +
        Round(Player("destroyPlayer", "20", 9) + Ev("chat", "21", 3, "", {{"text", "<![CDATA[gg <3]]>"}}) +
              Player("createPlayer", "22", 9, "Zed2") + "<!-- a comment -->") +
        Player("destroyPlayer", "40", 9) + Player("createPlayer", "41", 11, "Yan") +
        Ev("changePlayerName", "42", 11, "", {{"name", "Yannick"}}) +
        Round(Player("destroyPlayer", "60", 11) + Player("createPlayer", "61", 9, "Zed3"), "sand") +
        Player("destroyPlayer", "80", 3);
    ExpectReadingsAgree(dir, dir.Write("quirks.xml", Log(rounds)));
    ExpectReadingsAgree(dir, dir.Write("noprolog.xml", "<bf:log>" + rounds + "</bf:log>"));
    ExpectReadingsAgree(dir, dir.Write("flat.xml", rounds));
    const std::string log = Log(rounds);
    ExpectReadingsAgree(dir, dir.Write("unclosed.xml", log.substr(0, log.size() - 200) + "<bf:ev"));
    ExpectReadingsAgree(dir, dir.Write("nul.xml", log.substr(0, log.size() / 2) + '\0' + log.substr(log.size() / 2)));
    ExpectReadingsAgree(dir, dir.Write("garbage.xml", "<<<>>> </a> text <b x=\"1\"/> <c"));
    // A round with two server elements is listed twice, as the round list lists it.
    std::string twoServers = "<bf:round><bf:server><bf:setting name=\"map\">bay</bf:setting></bf:server>"
                             "<bf:server><bf:setting name=\"map\">hill</bf:setting></bf:server>";
    for (int i = 3; i < 23; ++i)
        twoServers += Ev("radioMessage", std::to_string(i), 3, "1/2/3");
    twoServers += "<bf:roundstats><bf:teamtickets team=\"1\">5</bf:teamtickets></bf:roundstats></bf:round>";
    const std::string listedTwice = dir.Write("twoservers.xml", Log(twoServers + rounds));
    ExpectReadingsAgree(dir, listedTwice);
    {
        TTempDir home;
        auto library = NewTestLibrary(home);
        EXPECT_EQ(IndexLogFile(*library, listedTwice), 2);
    }

    // The round list counts rounds of more than 20 children.
    for (const int children : {20, 21}) {
        std::string round = "<bf:round><bf:server><bf:setting name=\"map\">bay</bf:setting></bf:server>";
        for (int i = 2; i < children; ++i)
            round += Ev("radioMessage", std::to_string(i), 3, "1/2/3");
        round += "<bf:roundstats><bf:teamtickets team=\"1\">5</bf:teamtickets></bf:roundstats></bf:round>";
        ExpectReadingsAgree(dir, dir.Write("children" + std::to_string(children) + ".xml", Log(round)));
    }
}

// A scan that reads several logs at once stores what a scan reading one at a time stores, row
// for row, and fails the same files the same way: also a log the library refuses midway while
// its reader is rounds ahead of what was stored.
TEST(LibraryIndex, ReadingSeveralLogsAtOnceStoresWhatReadingOneStores)
{
    TSeparatorScope point('.');
    TTempDir dir;
    Series(dir, "logs/xml");
    Series(dir, "logs/zxml", true);
    const std::string packed = ZlibCompressed(BigLog(22, 30, 2000000));
    dir.Write("logs/ev_16567-20250102_1300.zxml", packed);
    dir.Write("logs/cut.zxml", packed.substr(0, packed.size() * 2 / 3));
    dir.Write("logs/joined.zxml", ZlibCompressed(SmallLog(3)) + ZlibCompressed(SmallLog(4))); // read whole
    dir.Write("logs/garbage.zxml", std::string(4000, '\x9c'));
    dir.Write("logs/empty.xml", "");
    dir.Write("logs/many.xml", SmallLog(11, 16)); // more rounds after the refused one than wait

    std::vector<std::vector<std::string>> first;
    std::string firstSummary;
    for (const int readers : {1, 2, 3}) {
        SCOPED_TRACE(std::to_string(readers) + " readers");
        TTempDir home;
        auto library = NewTestLibrary(home);
        RefuseRows(*library, "rounds", "place", "6"); // every log's seventh round
        TScanSummary summary = Scan(*library, dir.Path("logs"), {}, readers);
        EXPECT_GE(summary.failed, 2);
        std::string told = ScanSummaryJson(summary);
        told = told.substr(0, told.find(",\"seconds\""));
        for (const auto& [file, why] : summary.failures)
            told += "\n" + file + ": " + why;
        if (readers == 1) {
            first = Everything(*library);
            firstSummary = told;
            EXPECT_NE(firstSummary.find("many.xml"), std::string::npos) << firstSummary;
            continue;
        }
        EXPECT_EQ(told, firstSummary);
        EXPECT_EQ(Everything(*library), first);
    }
}
