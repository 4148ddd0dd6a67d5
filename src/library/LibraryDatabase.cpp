#include "library/LibraryDatabase.h"

#include "base/Files.h"

#include "base/Errors.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

#include <atomic>
#include <cctype>
#include <filesystem>
#include <string_view>
#include <vector>

namespace {

// What each version adds, in order: version N is the statements of entry N - 1. Plain SQL that
// SQLite and PostgreSQL both speak, but for "{key}", each engine's own identity key.
const std::vector<std::vector<const char*>>& Migrations()
{
    static const std::vector<std::vector<const char*>> migrations = {{
        // A log file as last read: unchanged size and time skip it; "readable" is how far it
        // was read, "note" why not further (such as "ends early").
        "CREATE TABLE files (id {key}, path TEXT NOT NULL UNIQUE, size BIGINT NOT NULL, "
        "modified BIGINT NOT NULL, hash TEXT NOT NULL, readable BIGINT NOT NULL, note TEXT NOT NULL, "
        "missing INTEGER NOT NULL DEFAULT 0)",
        // "started" is "YYYY-MM-DD HH:MM", from the file's name when "dated_by_name", else from
        // the file's time.
        "CREATE TABLE logs (id {key}, file_id BIGINT NOT NULL REFERENCES files(id) ON DELETE CASCADE, "
        "server TEXT NOT NULL, port INTEGER, mod TEXT NOT NULL, started TEXT NOT NULL, dated_by_name INTEGER NOT NULL)",
        "CREATE INDEX logs_file ON logs(file_id)",
        // "place" is the round's place in the round list, 0 first; "started" the log's start
        // moved on by the round's first time stamp less the log's, as "YYYY-MM-DD HH:MM".
        "CREATE TABLE rounds (id {key}, log_id BIGINT NOT NULL REFERENCES logs(id) ON DELETE CASCADE, "
        "place INTEGER NOT NULL, map TEXT NOT NULL, mod TEXT NOT NULL, mode TEXT NOT NULL, started TEXT NOT NULL, "
        "start DOUBLE PRECISION, length BIGINT NOT NULL, players INTEGER NOT NULL, winner TEXT NOT NULL, "
        "victory TEXT NOT NULL, tickets TEXT NOT NULL, note TEXT NOT NULL)",
        "CREATE INDEX rounds_log ON rounds(log_id)",
        "CREATE INDEX rounds_map ON rounds(map)",
        "CREATE INDEX rounds_started ON rounds(started)",
        // One player across logs: "identity" is the key hash, or "name:" and the name for a
        // player without one.
        "CREATE TABLE identities (id {key}, identity TEXT NOT NULL UNIQUE, keyhash TEXT NOT NULL)",
        // "folded" is the name as FoldedName gives it: both engines fold letter case alike only
        // when the program does it, so a name is found in any letter case through it.
        "CREATE TABLE identity_names (identity_id BIGINT NOT NULL REFERENCES identities(id) ON DELETE CASCADE, "
        "name TEXT NOT NULL, folded TEXT NOT NULL, PRIMARY KEY (identity_id, name))",
        "CREATE INDEX identity_names_name ON identity_names(name)",
        "CREATE INDEX identity_names_folded ON identity_names(folded)",
        // Each player of a round: the server's table (nothing where it has none) and the
        // replay's own counts; "seconds" the time on the server while the round ran.
        "CREATE TABLE player_rounds (round_id BIGINT NOT NULL REFERENCES rounds(id) ON DELETE CASCADE, "
        "identity_id BIGINT REFERENCES identities(id), player_id INTEGER NOT NULL, name TEXT NOT NULL, "
        "team INTEGER NOT NULL, seconds BIGINT NOT NULL, table_score INTEGER, table_kills INTEGER, "
        "table_deaths INTEGER, table_tks INTEGER, table_fields TEXT NOT NULL, score INTEGER, kills INTEGER, "
        "deaths INTEGER, tks INTEGER)",
        "CREATE INDEX player_rounds_round ON player_rounds(round_id)",
        "CREATE INDEX player_rounds_identity ON player_rounds(identity_id)",
        "CREATE TABLE kills (round_id BIGINT NOT NULL REFERENCES rounds(id) ON DELETE CASCADE, "
        "time DOUBLE PRECISION NOT NULL, team_kill INTEGER NOT NULL, killer_id INTEGER NOT NULL, "
        "killer_identity BIGINT REFERENCES identities(id), killer_name TEXT NOT NULL, killer_team INTEGER NOT NULL, "
        "victim_id INTEGER NOT NULL, victim_identity BIGINT REFERENCES identities(id), victim_name TEXT NOT NULL, "
        "victim_team INTEGER NOT NULL, weapon TEXT NOT NULL, kit TEXT NOT NULL, vehicle TEXT NOT NULL, "
        "killer_x DOUBLE PRECISION, killer_z DOUBLE PRECISION, victim_x DOUBLE PRECISION, victim_z DOUBLE PRECISION)",
        "CREATE INDEX kills_round ON kills(round_id)",
        // Holds what a player killed with, so that the players' favourites are counted from
        // the index alone rather than from a million rows of the table.
        "CREATE INDEX kills_killer ON kills(killer_identity, weapon, kit, vehicle)",
        "CREATE INDEX kills_victim ON kills(victim_identity)",
        "CREATE TABLE chat (round_id BIGINT NOT NULL REFERENCES rounds(id) ON DELETE CASCADE, "
        "time DOUBLE PRECISION NOT NULL, player_id INTEGER NOT NULL, name TEXT NOT NULL, text TEXT NOT NULL)",
    }, {
        // Version 1 stored no counts of those who left a round that has no server's table, and
        // left entities in the texts but the names' "&lt;" and "&gt;": a time no file has makes
        // the next scan index every file again, while the rows stay readable until then.
        "UPDATE files SET modified = -1",
    }};
    return migrations;
}

// The table that says a database is a library, and of which version.
constexpr const char* MetaTable = "ornwick_library";
// SQLite's application id of a library file ("ORNW"), written before anything else, so that a
// file of no tables is told from another program's empty database.
constexpr int LibraryApplicationId = 0x4F524E57;

// Each engine's key column, which new rows number themselves: SQLite's INTEGER PRIMARY KEY is
// its row id.
QString KeyType(TLibraryEngine engine)
{
    return engine == TLibraryEngine::PostgreSQL ? QStringLiteral("BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")
                                                : QStringLiteral("INTEGER PRIMARY KEY");
}

// Taken on a server while a library is made or migrated, so that two programs opening a new
// shared library at once do not both make its tables; released when the transaction ends.
constexpr qlonglong MigrationLock = 0x4f726e7769636bLL;

// Seconds to wait for a server before saying it cannot be reached.
constexpr int DefaultConnectTimeout = 5;

QString NewConnectionName()
{
    static std::atomic<int> next{0};
    return QStringLiteral("ornwick-library-%1").arg(next++);
}

std::string ErrorText(const QSqlError& error)
{
    // The server's own words (libpq's, over several lines) on one line, without the driver's
    // "Unable to connect" after them.
    if (error.driverText().startsWith(QLatin1String("QPSQL")) && !error.databaseText().isEmpty())
        return error.databaseText().simplified().toStdString();
    return error.text().toStdString();
}

bool StartsWithNoCase(const std::string& text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

struct TServerAddress {
    QString host; // a host name or address, or a Unix socket's folder
    int port = -1;
    QString user;
    QString password;
    QString database;
    QString options; // for the driver: "key=value" pairs separated by ";"
};

TServerAddress ParseServerUrl(const std::string& text)
{
    const std::string shown = LibraryLocationShown(text);
    auto refuse = [&](const std::string& why) { return EBaseError(shown + " is no PostgreSQL URL: " + why); };
    // QUrl's own error text quotes the whole URL, password and all: it is not shown.
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    if (!url.isValid())
        throw refuse("it cannot be read as postgresql://[user[:password]@]host[:port]/dbname");
    TServerAddress address;
    address.host = url.host(QUrl::FullyDecoded);
    address.port = url.port(-1);
    address.user = url.userName(QUrl::FullyDecoded);
    address.password = url.password(QUrl::FullyDecoded);
    address.database = url.path(QUrl::FullyDecoded).mid(1);
    if (address.database.isEmpty() || address.database.contains(QLatin1Char('/')))
        throw refuse("it names no database");
    int timeout = DefaultConnectTimeout;
    QString sslMode;
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        bool number = false;
        if (key == QLatin1String("host")) {
            address.host = value;
        } else if (key == QLatin1String("port")) {
            address.port = value.toInt(&number);
            if (!number || address.port < 1)
                address.port = 0;
        } else if (key == QLatin1String("connect_timeout")) {
            timeout = value.toInt(&number);
            if (!number || timeout < 1)
                throw refuse("its connect_timeout is no number of seconds");
        } else if (key == QLatin1String("sslmode")) {
            static const QStringList modes = {QStringLiteral("disable"), QStringLiteral("allow"), QStringLiteral("prefer"),
                                              QStringLiteral("require"), QStringLiteral("verify-ca"),
                                              QStringLiteral("verify-full")};
            if (!modes.contains(value))
                throw refuse("its sslmode is none of " + modes.join(QStringLiteral(", ")).toStdString());
            sslMode = value;
        } else {
            throw refuse("it has a parameter \"" + key.toStdString() +
                         "\" other than host, port, connect_timeout and sslmode");
        }
    }
    if (address.port == 0 || address.port > 65535)
        throw refuse("its port is no number from 1 to 65535");
    address.options = QStringLiteral("connect_timeout=%1").arg(timeout);
    if (!sslMode.isEmpty())
        address.options += QStringLiteral(";sslmode=") + sslMode;
    return address;
}

} // namespace

bool IsLibraryServerUrl(const std::string& location)
{
    return StartsWithNoCase(location, "postgresql://") || StartsWithNoCase(location, "postgres://");
}

std::string LibraryLocationShown(const std::string& location)
{
    if (!IsLibraryServerUrl(location))
        return location;
    // Cut by hand rather than by QUrl, so that even a URL QUrl reads otherwise (a password
    // with "?", "#" or "/" in it) loses its password: from the first ":" to the last "@", which
    // at worst cuts out more.
    const size_t authority = location.find("://") + 3;
    const size_t at = location.rfind('@');
    std::string shown = location;
    if (at != std::string::npos && at >= authority) {
        const size_t colon = location.find(':', authority);
        if (colon != std::string::npos && colon < at)
            shown = location.substr(0, colon) + location.substr(at);
    }
    // A password given as a parameter goes too, with its "&".
    const size_t query = shown.find('?', authority);
    if (query == std::string::npos)
        return shown;
    std::string kept;
    size_t from = query + 1;
    while (from <= shown.size()) {
        const size_t end = std::min(shown.find('&', from), shown.size());
        const std::string item = shown.substr(from, end - from);
        if (!StartsWithNoCase(item, "password=") && !StartsWithNoCase(item, "password%3d") && item != "password")
            kept += (kept.empty() ? "" : "&") + item;
        from = end + 1;
    }
    return shown.substr(0, query) + (kept.empty() ? "" : "?" + kept);
}

QSqlDatabase LibraryServerConnection(const std::string& url, const QString& connection)
{
    const TServerAddress address = ParseServerUrl(url);
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
    if (!database.isValid()) {
        database = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
        throw EBaseError("The match library " + LibraryLocationShown(url) +
                         " cannot be opened: Qt's PostgreSQL driver is missing");
    }
    database.setHostName(address.host);
    if (address.port > 0)
        database.setPort(address.port);
    database.setUserName(address.user);
    database.setPassword(address.password);
    database.setDatabaseName(address.database);
    database.setConnectOptions(address.options);
    return database;
}

TLibraryDatabase::TLibraryDatabase(const std::string& location)
    : FLocation(location), FShown(LibraryLocationShown(location)),
      FEngine(IsLibraryServerUrl(location) ? TLibraryEngine::PostgreSQL : TLibraryEngine::SQLite),
      FConnection(NewConnectionName())
{
    try {
        if (FEngine == TLibraryEngine::PostgreSQL)
            OpenServer();
        else
            OpenFile();
        Migrate();
    } catch (...) {
        Close();
        throw;
    }
}

TLibraryDatabase::~TLibraryDatabase() { Close(); }

void TLibraryDatabase::Close()
{
    FDatabase.close();
    FDatabase = QSqlDatabase();
    QSqlDatabase::removeDatabase(FConnection);
}

void TLibraryDatabase::OpenFile()
{
    // SQLite would wait on a pipe for ever, and make nothing of a folder or a device.
    if (ExistsAsNonRegularFile(FLocation))
        throw EBaseError(FShown + " is no match library: it is no regular file");
    FDatabase = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnection);
    if (!FDatabase.isValid())
        throw EBaseError("The match library cannot be opened: Qt's SQLite driver is missing");
    FDatabase.setDatabaseName(QString::fromStdString(FLocation));
    std::error_code ignored;
    const bool existed = std::filesystem::exists(FLocation, ignored) && std::filesystem::file_size(FLocation, ignored) > 0;
    if (existed) {
        // Looked at read-only first: a file that is no library, or a newer one, is left as it is.
        FDatabase.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!FDatabase.open())
            throw EBaseError(FShown + " is no match library: " + ErrorText(FDatabase.lastError()));
        Inspect();
        FDatabase.close();
        FDatabase.setConnectOptions();
    }
    if (!FDatabase.open())
        throw EBaseError("The match library " + FShown + " cannot be opened: " + ErrorText(FDatabase.lastError()));
    QSqlQuery query(FDatabase);
    // Marked first: a library whose making was cut off is still known for one.
    if (!existed)
        query.exec(QStringLiteral("PRAGMA application_id = %1").arg(LibraryApplicationId));
    // Readers go on while a scan writes, and a killed scan loses only its own file's transaction.
    query.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    // Under WAL a commit need not wait for the disk: a killed program still loses nothing
    // committed, and a power cut at most the last transactions, never the library's order.
    query.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    query.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
}

void TLibraryDatabase::OpenServer()
{
    FDatabase = LibraryServerConnection(FLocation, FConnection);
    if (!FDatabase.open())
        throw EBaseError("The match library " + FShown + " cannot be opened: " + ErrorText(FDatabase.lastError()));
}

int TLibraryDatabase::Inspect()
{
    // The tables of the database, or on a server those of the schema new tables go to.
    const QString listing = FEngine == TLibraryEngine::PostgreSQL
                                ? QStringLiteral("SELECT table_name FROM information_schema.tables "
                                                 "WHERE table_schema = current_schema()")
                                : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'");
    QStringList tables;
    {
        QSqlQuery query(FDatabase);
        if (!query.exec(listing))
            throw EBaseError(FShown + " is no match library: " + ErrorText(query.lastError()));
        while (query.next())
            tables << query.value(0).toString();
    }
    if (FEngine == TLibraryEngine::SQLite) {
        // A file of views alone, or one of no tables that this program did not mark, is
        // another's: only a new or empty file, or one this program began, is made a library.
        QSqlQuery query(FDatabase);
        if (query.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'view'")) && query.next() &&
            query.value(0).toInt() > 0 && !tables.contains(QString::fromLatin1(MetaTable)))
            throw EBaseError(FShown + " is no match library: it holds other tables");
        if (tables.isEmpty()) {
            const auto pragma = [this](const char* name) {
                QSqlQuery read(FDatabase);
                return read.exec(QStringLiteral("PRAGMA %1").arg(QLatin1String(name))) && read.next() ? read.value(0).toInt() : 0;
            };
            if (pragma("application_id") != LibraryApplicationId)
                throw EBaseError(FShown + " is no match library: it is another program's database");
        }
    }
    if (tables.isEmpty())
        return 0;
    if (!tables.contains(QString::fromLatin1(MetaTable)))
        throw EBaseError(FShown + " is no match library: it holds other tables");
    // A version that is no number, or none at all, cannot be brought up to date: said before
    // anything is written.
    {
        QSqlQuery query(FDatabase);
        if (!query.exec(QStringLiteral("SELECT version FROM %1").arg(QString::fromLatin1(MetaTable))) || !query.next() ||
            (query.value(0).typeId() != QMetaType::LongLong && query.value(0).typeId() != QMetaType::Int))
            throw EBaseError("The match library " + FShown + " cannot be brought up to date: it names no schema version");
    }
    const int version = SchemaVersion();
    if (version > LibrarySchemaVersion)
        throw EBaseError(FShown + " is a match library of a newer Ornwick (schema " + std::to_string(version) +
                         "; this one knows up to " + std::to_string(LibrarySchemaVersion) + ")");
    return version;
}

void TLibraryDatabase::Migrate()
{
    int version = Inspect();
    if (version == LibrarySchemaVersion)
        return;
    if (!FDatabase.transaction())
        throw EBaseError("The match library " + FShown + " cannot be written: " + ErrorText(FDatabase.lastError()));
    QSqlQuery query(FDatabase);
    auto fail = [&](const std::string& why) {
        query.finish();
        FDatabase.rollback();
        throw EBaseError("The match library " + FShown + " cannot be brought up to date: " + why);
    };
    auto run = [&](const QString& statement) {
        if (!query.exec(statement))
            fail(ErrorText(query.lastError()));
    };
    if (FEngine == TLibraryEngine::PostgreSQL) {
        // Another program may have made the tables while this one waited for the lock.
        query.prepare(QStringLiteral("SELECT pg_advisory_xact_lock(?)"));
        query.addBindValue(MigrationLock);
        if (!query.exec())
            fail(ErrorText(query.lastError()));
        try {
            version = Inspect();
        } catch (const EBaseError&) {
            query.finish();
            FDatabase.rollback();
            throw;
        }
        if (version == LibrarySchemaVersion) {
            query.finish();
            FDatabase.rollback();
            return;
        }
    }
    if (version == 0)
        run(QStringLiteral("CREATE TABLE %1 (version INTEGER NOT NULL)").arg(QString::fromLatin1(MetaTable)));
    const QString key = KeyType(FEngine);
    for (; version < LibrarySchemaVersion; ++version)
        for (const char* statement : Migrations()[static_cast<size_t>(version)])
            run(QString::fromLatin1(statement).replace(QLatin1String("{key}"), key));
    run(QStringLiteral("DELETE FROM %1").arg(QString::fromLatin1(MetaTable)));
    if (!query.prepare(QStringLiteral("INSERT INTO %1 (version) VALUES (?)").arg(QString::fromLatin1(MetaTable))))
        fail(ErrorText(query.lastError()));
    query.addBindValue(LibrarySchemaVersion);
    if (!query.exec())
        fail(ErrorText(query.lastError()));
    query.finish();
    if (!FDatabase.commit())
        throw EBaseError("The match library " + FShown + " cannot be written: " + ErrorText(FDatabase.lastError()));
}

int TLibraryDatabase::SchemaVersion() const
{
    QSqlQuery query(FDatabase);
    if (!query.exec(QStringLiteral("SELECT version FROM %1").arg(QString::fromLatin1(MetaTable))) || !query.next())
        return 0;
    return query.value(0).toInt();
}
