#pragma once

// The match library's database: one SQLite file, or a database on a PostgreSQL server that a
// community shares, that holds, for every log of the folders the user indexed, its file, its
// rounds, their players and kills. Opening brings an older schema up to this program's and
// refuses, untouched, a database that is no library or whose schema is newer.

#include <QSqlDatabase>

#include <string>

// The schema this program writes; each version's migration brings the one before it up to it.
inline constexpr int LibrarySchemaVersion = 2;

enum class TLibraryEngine { SQLite, PostgreSQL };

// Whether `location` is a server's URL, "postgresql://[user[:password]@]host[:port]/dbname" (or
// "postgres://"; "?host=/socket/dir" for a Unix socket), rather than a file name.
bool IsLibraryServerUrl(const std::string& location);

// `location` as messages show it: a URL without its password.
std::string LibraryLocationShown(const std::string& location);

// A connection, not yet open, under Qt's name `connection`, to the database a server URL names.
// Raises EBaseError for a URL it cannot read or when Qt's PostgreSQL driver is missing. The
// caller removes it with QSqlDatabase::removeDatabase.
QSqlDatabase LibraryServerConnection(const std::string& url, const QString& connection);

class TLibraryDatabase {
public:
    // Opens the library in `location`, a file name (the file made when missing) or a server URL
    // (the database must exist). Raises EBaseError, having changed nothing, for a file that is no
    // SQLite database, a server that cannot be reached, a database that holds tables but no
    // library, or a library of a newer schema. No message shows the URL's password.
    explicit TLibraryDatabase(const std::string& location);
    virtual ~TLibraryDatabase();
    TLibraryDatabase(const TLibraryDatabase&) = delete;
    TLibraryDatabase& operator=(const TLibraryDatabase&) = delete;

    int SchemaVersion() const;
    TLibraryEngine Engine() const { return FEngine; }
    // The file name or the URL without its password.
    const std::string& Location() const { return FShown; }
    // Every statement binds its values: a player named "'); DROP TABLE rounds; --" is a name.
    QSqlDatabase& Connection() { return FDatabase; }

private:
    void OpenFile();
    void OpenServer();
    // The library's version, 0 for an empty database; raises EBaseError for one that holds
    // other tables or a newer library.
    int Inspect();
    void Migrate();
    void Close();

    std::string FLocation;
    std::string FShown;
    TLibraryEngine FEngine;
    QString FConnection; // Qt's name for the connection, one per open library
    QSqlDatabase FDatabase;
};
