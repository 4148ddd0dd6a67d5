#include "library/LibraryDatabase.h"

#include "base/Errors.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>
#include <filesystem>
#include <vector>

namespace {

// What each version adds, in order: version N is the statements of entry N - 1. Plain SQL that
// SQLite and PostgreSQL both speak.
const std::vector<std::vector<const char*>>& Migrations()
{
    static const std::vector<std::vector<const char*>> migrations = {{
        // A log file as last read: unchanged size and time skip it; "readable" is how far it
        // was read, "note" why not further (such as "ends early").
        "CREATE TABLE files (id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE, size BIGINT NOT NULL, "
        "modified BIGINT NOT NULL, hash TEXT NOT NULL, readable BIGINT NOT NULL, note TEXT NOT NULL, "
        "missing INTEGER NOT NULL DEFAULT 0)",
        // "started" is "YYYY-MM-DD HH:MM", from the file's name when "dated_by_name", else from
        // the file's time.
        "CREATE TABLE logs (id INTEGER PRIMARY KEY, file_id INTEGER NOT NULL REFERENCES files(id) ON DELETE CASCADE, "
        "server TEXT NOT NULL, port INTEGER, mod TEXT NOT NULL, started TEXT NOT NULL, dated_by_name INTEGER NOT NULL)",
        "CREATE INDEX logs_file ON logs(file_id)",
        // "place" is the round's place in the round list, 0 first; "started" the log's start
        // moved on by the round's first time stamp less the log's, as "YYYY-MM-DD HH:MM".
        "CREATE TABLE rounds (id INTEGER PRIMARY KEY, log_id INTEGER NOT NULL REFERENCES logs(id) ON DELETE CASCADE, "
        "place INTEGER NOT NULL, map TEXT NOT NULL, mod TEXT NOT NULL, mode TEXT NOT NULL, started TEXT NOT NULL, "
        "start DOUBLE PRECISION, length BIGINT NOT NULL, players INTEGER NOT NULL, winner TEXT NOT NULL, "
        "victory TEXT NOT NULL, tickets TEXT NOT NULL, note TEXT NOT NULL)",
        "CREATE INDEX rounds_log ON rounds(log_id)",
        "CREATE INDEX rounds_map ON rounds(map)",
        "CREATE INDEX rounds_started ON rounds(started)",
        // One player across logs: "identity" is the key hash, or "name:" and the name for a
        // player without one.
        "CREATE TABLE identities (id INTEGER PRIMARY KEY, identity TEXT NOT NULL UNIQUE, keyhash TEXT NOT NULL)",
        // "folded" is the name as FoldedName gives it: both engines fold letter case alike only
        // when the program does it, so a name is found in any letter case through it.
        "CREATE TABLE identity_names (identity_id INTEGER NOT NULL REFERENCES identities(id) ON DELETE CASCADE, "
        "name TEXT NOT NULL, folded TEXT NOT NULL, PRIMARY KEY (identity_id, name))",
        "CREATE INDEX identity_names_name ON identity_names(name)",
        "CREATE INDEX identity_names_folded ON identity_names(folded)",
        // Each player of a round: the server's table (nothing where it has none) and the
        // replay's own counts; "seconds" the time on the server while the round ran.
        "CREATE TABLE player_rounds (round_id INTEGER NOT NULL REFERENCES rounds(id) ON DELETE CASCADE, "
        "identity_id INTEGER REFERENCES identities(id), player_id INTEGER NOT NULL, name TEXT NOT NULL, "
        "team INTEGER NOT NULL, seconds BIGINT NOT NULL, table_score INTEGER, table_kills INTEGER, "
        "table_deaths INTEGER, table_tks INTEGER, table_fields TEXT NOT NULL, score INTEGER, kills INTEGER, "
        "deaths INTEGER, tks INTEGER)",
        "CREATE INDEX player_rounds_round ON player_rounds(round_id)",
        "CREATE INDEX player_rounds_identity ON player_rounds(identity_id)",
        "CREATE TABLE kills (round_id INTEGER NOT NULL REFERENCES rounds(id) ON DELETE CASCADE, "
        "time DOUBLE PRECISION NOT NULL, team_kill INTEGER NOT NULL, killer_id INTEGER NOT NULL, "
        "killer_identity INTEGER REFERENCES identities(id), killer_name TEXT NOT NULL, killer_team INTEGER NOT NULL, "
        "victim_id INTEGER NOT NULL, victim_identity INTEGER REFERENCES identities(id), victim_name TEXT NOT NULL, "
        "victim_team INTEGER NOT NULL, weapon TEXT NOT NULL, kit TEXT NOT NULL, vehicle TEXT NOT NULL, "
        "killer_x DOUBLE PRECISION, killer_z DOUBLE PRECISION, victim_x DOUBLE PRECISION, victim_z DOUBLE PRECISION)",
        "CREATE INDEX kills_round ON kills(round_id)",
        // Holds what a player killed with, so that the players' favourites are counted from
        // the index alone rather than from a million rows of the table.
        "CREATE INDEX kills_killer ON kills(killer_identity, weapon, kit, vehicle)",
        "CREATE INDEX kills_victim ON kills(victim_identity)",
        "CREATE TABLE chat (round_id INTEGER NOT NULL REFERENCES rounds(id) ON DELETE CASCADE, "
        "time DOUBLE PRECISION NOT NULL, player_id INTEGER NOT NULL, name TEXT NOT NULL, text TEXT NOT NULL)",
    }};
    return migrations;
}

// The table that says a database is a library, and of which version.
constexpr const char* MetaTable = "ornwick_library";

QString NewConnectionName()
{
    static std::atomic<int> next{0};
    return QStringLiteral("ornwick-library-%1").arg(next++);
}

std::string ErrorText(const QSqlError& error) { return error.text().toStdString(); }

} // namespace

TLibraryDatabase::TLibraryDatabase(const std::string& fileName) : FFileName(fileName), FConnection(NewConnectionName())
{
    FDatabase = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnection);
    if (!FDatabase.isValid())
        throw EBaseError("The match library cannot be opened: Qt's SQLite driver is missing");
    FDatabase.setDatabaseName(QString::fromStdString(fileName));
    std::error_code ignored;
    const bool existed = std::filesystem::exists(fileName, ignored) && std::filesystem::file_size(fileName, ignored) > 0;
    if (existed) {
        // Looked at read-only first: a file that is no library, or a newer one, is left as it is.
        FDatabase.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!FDatabase.open())
            throw EBaseError(fileName + " is no match library: " + ErrorText(FDatabase.lastError()));
        QStringList tables;
        {
            QSqlQuery query(FDatabase);
            if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
                const std::string why = ErrorText(query.lastError());
                query = QSqlQuery();
                FDatabase.close();
                throw EBaseError(fileName + " is no match library: " + why);
            }
            while (query.next())
                tables << query.value(0).toString();
        }
        if (!tables.isEmpty() && !tables.contains(QString::fromLatin1(MetaTable))) {
            FDatabase.close();
            throw EBaseError(fileName + " is no match library: it holds other tables");
        }
        if (!tables.isEmpty()) {
            const int version = SchemaVersion();
            if (version > LibrarySchemaVersion) {
                FDatabase.close();
                throw EBaseError(fileName + " is a match library of a newer Ornwick (schema " + std::to_string(version) +
                                 "; this one knows up to " + std::to_string(LibrarySchemaVersion) + ")");
            }
        }
        FDatabase.close();
        FDatabase.setConnectOptions();
    }
    if (!FDatabase.open())
        throw EBaseError("The match library " + fileName + " cannot be opened: " + ErrorText(FDatabase.lastError()));
    QSqlQuery query(FDatabase);
    // Readers go on while a scan writes, and a killed scan loses only its own file's transaction.
    query.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    query.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    int version = FDatabase.tables().contains(QString::fromLatin1(MetaTable)) ? SchemaVersion() : 0;
    if (version == LibrarySchemaVersion)
        return;
    if (!FDatabase.transaction())
        throw EBaseError("The match library " + fileName + " cannot be written: " + ErrorText(FDatabase.lastError()));
    auto run = [&](const QString& statement) {
        if (!query.exec(statement)) {
            const std::string why = ErrorText(query.lastError());
            FDatabase.rollback();
            throw EBaseError("The match library " + fileName + " cannot be brought up to date: " + why);
        }
    };
    if (version == 0)
        run(QStringLiteral("CREATE TABLE %1 (version INTEGER NOT NULL)").arg(QString::fromLatin1(MetaTable)));
    for (; version < LibrarySchemaVersion; ++version)
        for (const char* statement : Migrations()[static_cast<size_t>(version)])
            run(QString::fromLatin1(statement));
    run(QStringLiteral("DELETE FROM %1").arg(QString::fromLatin1(MetaTable)));
    if (!query.prepare(QStringLiteral("INSERT INTO %1 (version) VALUES (?)").arg(QString::fromLatin1(MetaTable))))
        throw EBaseError("The match library " + fileName + " cannot be written: " + ErrorText(query.lastError()));
    query.addBindValue(LibrarySchemaVersion);
    if (!query.exec()) {
        const std::string why = ErrorText(query.lastError());
        FDatabase.rollback();
        throw EBaseError("The match library " + fileName + " cannot be brought up to date: " + why);
    }
    if (!FDatabase.commit())
        throw EBaseError("The match library " + fileName + " cannot be written: " + ErrorText(FDatabase.lastError()));
}

TLibraryDatabase::~TLibraryDatabase()
{
    FDatabase.close();
    FDatabase = QSqlDatabase();
    QSqlDatabase::removeDatabase(FConnection);
}

int TLibraryDatabase::SchemaVersion() const
{
    QSqlQuery query(FDatabase);
    if (!query.exec(QStringLiteral("SELECT version FROM %1").arg(QString::fromLatin1(MetaTable))) || !query.next())
        return 0;
    return query.value(0).toInt();
}
