#pragma once

// The match library's database: one SQLite file that holds, for every log of the folders the user
// indexed, its file, its rounds, their players and kills. Opening brings an older schema up to
// this program's and refuses, untouched, a database that is no library or whose schema is newer.

#include <QSqlDatabase>

#include <string>

// The schema this program writes; each version's migration brings the one before it up to it.
inline constexpr int LibrarySchemaVersion = 1;

class TLibraryDatabase {
public:
    // Opens the library in `fileName`, made when missing. Raises EBaseError, having changed
    // nothing, for a file that is no SQLite database, one that holds tables but no library, or a
    // library of a newer schema.
    explicit TLibraryDatabase(const std::string& fileName);
    ~TLibraryDatabase();
    TLibraryDatabase(const TLibraryDatabase&) = delete;
    TLibraryDatabase& operator=(const TLibraryDatabase&) = delete;

    int SchemaVersion() const;
    // Every statement binds its values: a player named "'); DROP TABLE rounds; --" is a name.
    QSqlDatabase& Connection() { return FDatabase; }

private:
    std::string FFileName;
    QString FConnection; // Qt's name for the connection, one per open library
    QSqlDatabase FDatabase;
};
