#include "TestUtil.h"
#include "base/Errors.h"
#include "library/LibraryDatabase.h"

#include <QSqlQuery>
#include <QVariant>

#include <gtest/gtest.h>

#include <optional>

namespace {

// The message a refused opening gives, or nothing when it opened.
std::optional<std::string> Refusal(const std::string& file)
{
    try {
        TLibraryDatabase library(file);
    } catch (const EBaseError& e) {
        return e.Message();
    }
    return std::nullopt;
}

std::string JournalMode(TLibraryDatabase& library)
{
    QSqlQuery query(library.Connection());
    return query.exec(QStringLiteral("PRAGMA journal_mode")) && query.next() ? query.value(0).toString().toStdString() : "";
}

} // namespace

TEST(LibraryDatabase, ANewLibraryHasTheSchemaAndKeepsWhatWasWrittenWithBoundValues)
{
    TTempDir dir;
    const std::string file = dir.Path("library.sqlite");
    const std::string hostile = "'); DROP TABLE rounds; --";
    {
        TLibraryDatabase library(file);
        EXPECT_EQ(library.SchemaVersion(), LibrarySchemaVersion);
        EXPECT_EQ(JournalMode(library), "wal");
        for (const char* table : {"files", "logs", "rounds", "identities", "identity_names", "player_rounds", "kills", "chat"})
            EXPECT_TRUE(library.Connection().tables().contains(QString::fromLatin1(table))) << table;
        QSqlQuery insert(library.Connection());
        ASSERT_TRUE(insert.prepare(QStringLiteral("INSERT INTO identities (identity, keyhash) VALUES (?, ?)")));
        insert.addBindValue(QString::fromStdString("name:" + hostile));
        insert.addBindValue(QString::fromStdString(hostile));
        ASSERT_TRUE(insert.exec());
    }
    // Opened again: nothing migrates, and the name is a name.
    TLibraryDatabase again(file);
    EXPECT_EQ(again.SchemaVersion(), LibrarySchemaVersion);
    EXPECT_TRUE(again.Connection().tables().contains(QStringLiteral("rounds")));
    QSqlQuery query(again.Connection());
    ASSERT_TRUE(query.exec(QStringLiteral("SELECT keyhash FROM identities")) && query.next());
    EXPECT_EQ(query.value(0).toString().toStdString(), hostile);
}

TEST(LibraryDatabase, WhatIsNoLibraryOrANewerOneIsRefusedAndLeftAsItWas)
{
    TTempDir dir;
    // Not a database at all.
    const std::string text = dir.Write("notes.sqlite", "these are my notes, not a database\n");
    const std::optional<std::string> notDatabase = Refusal(text);
    ASSERT_TRUE(notDatabase);
    EXPECT_NE(notDatabase->find("is no match library"), std::string::npos) << *notDatabase;
    EXPECT_EQ(ReadFileBytes(text), "these are my notes, not a database\n");

    // Another program's database.
    const std::string other = dir.Path("other.sqlite");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-program"));
        db.setDatabaseName(QString::fromStdString(other));
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("CREATE TABLE accounts (name TEXT)"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other-program"));
    const std::string before = ReadFileBytes(other);
    const std::optional<std::string> foreign = Refusal(other);
    ASSERT_TRUE(foreign);
    EXPECT_EQ(*foreign, other + " is no match library: it holds other tables");
    EXPECT_EQ(ReadFileBytes(other), before);

    // A library a newer program wrote.
    const std::string newer = dir.Path("newer.sqlite");
    {
        TLibraryDatabase library(newer);
        QSqlQuery(library.Connection()).exec(QStringLiteral("UPDATE ornwick_library SET version = 99"));
        QSqlQuery(library.Connection()).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    const std::string newerBytes = ReadFileBytes(newer);
    const std::optional<std::string> tooNew = Refusal(newer);
    ASSERT_TRUE(tooNew);
    EXPECT_EQ(*tooNew, newer + " is a match library of a newer Ornwick (schema 99; this one knows up to " +
                           std::to_string(LibrarySchemaVersion) + ")");
    EXPECT_EQ(ReadFileBytes(newer), newerBytes);
}
