#pragma once

// A fresh, empty match library for a test: a file in the test's temporary folder or, when
// ORNWICK_TEST_POSTGRESQL names a PostgreSQL server where the test may make databases (as
// tools/postgres-test.sh does), a database of its own there, dropped when the test is done.

#include "TestUtil.h"
#include "library/LibraryDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QVariant>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// The server the library tests run on, or "" when they run on SQLite files.
inline std::string TestLibraryServer()
{
    const char* url = std::getenv("ORNWICK_TEST_POSTGRESQL");
    return url ? url : "";
}

// Where one library of a test lives: its Location() is what TLibraryDatabase and the tool's
// --db take. It also lets a test reach the database as another program would.
class TTestLibraryPlace {
public:
    explicit TTestLibraryPlace(TTempDir& dir, const std::string& fileName = "library.sqlite")
    {
        const std::string server = TestLibraryServer();
        if (server.empty()) {
            FLocation = dir.Path(fileName);
            return;
        }
        static std::atomic<int> next{0};
        FDatabase = "ornwick_test_" + std::to_string(getpid()) + "_" + std::to_string(next++);
        Run(server, {"CREATE DATABASE " + FDatabase}, nullptr);
        QUrl url(QString::fromStdString(server));
        url.setPath(QStringLiteral("/") + QString::fromStdString(FDatabase));
        FLocation = url.toString().toStdString();
        FServer = server;
    }
    ~TTestLibraryPlace()
    {
        if (FServer.empty())
            return;
        try {
            // FORCE: a test that failed half-way may have left a connection open.
            Run(FServer, {"DROP DATABASE IF EXISTS " + FDatabase + " WITH (FORCE)"}, nullptr);
        } catch (const std::exception&) {
        }
    }
    TTestLibraryPlace(const TTestLibraryPlace&) = delete;
    TTestLibraryPlace& operator=(const TTestLibraryPlace&) = delete;

    const std::string& Location() const { return FLocation; }
    bool OnServer() const { return !FServer.empty(); }

    // Runs statements on the place's database through a connection of its own, not the
    // library's; the rows of the last, each as its values joined by "|".
    std::vector<std::string> Execute(const std::vector<std::string>& statements) const
    {
        std::vector<std::string> rows;
        Run(FLocation, statements, &rows);
        return rows;
    }

private:
    static void Run(const std::string& location, const std::vector<std::string>& statements, std::vector<std::string>* rows)
    {
        static std::atomic<int> next{0};
        const QString name = QStringLiteral("ornwick-test-%1").arg(next++);
        std::string failure;
        {
            QSqlDatabase db;
            if (IsLibraryServerUrl(location)) {
                db = LibraryServerConnection(location, name);
            } else {
                db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
                db.setDatabaseName(QString::fromStdString(location));
            }
            if (!db.open())
                failure = "cannot open " + location + ": " + db.lastError().text().toStdString();
            QSqlQuery query(db);
            for (const std::string& statement : statements) {
                if (!failure.empty())
                    break;
                if (!query.exec(QString::fromStdString(statement)))
                    failure = statement + ": " + query.lastError().text().toStdString();
            }
            while (failure.empty() && rows && query.isSelect() && query.next()) {
                std::string row;
                for (int i = 0; i < query.record().count(); ++i)
                    row += (i ? "|" : "") + query.value(i).toString().toStdString();
                rows->push_back(row);
            }
            query = QSqlQuery();
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        if (!failure.empty())
            throw std::runtime_error(failure);
    }

    std::string FLocation;
    std::string FServer;   // the server's URL when the place is a database on it
    std::string FDatabase; // that database's name
};

namespace TestLibraryDetail {
// The place comes first, so that it is made before the library opens and dropped after it closed.
class TTestLibrary : private TTestLibraryPlace, public TLibraryDatabase {
public:
    explicit TTestLibrary(TTempDir& dir) : TTestLibraryPlace(dir), TLibraryDatabase(TTestLibraryPlace::Location()) {}
};
} // namespace TestLibraryDetail

inline std::unique_ptr<TLibraryDatabase> NewTestLibrary(TTempDir& dir)
{
    return std::make_unique<TestLibraryDetail::TTestLibrary>(dir);
}
