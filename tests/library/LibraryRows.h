#pragma once

// Rows put into a library as the indexer stores them, every value bound: the queries' tests
// build the library they ask about without reading logs.

#include "library/LibraryDatabase.h"
#include "library/LibraryQuery.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TLibraryRows {
public:
    explicit TLibraryRows(TLibraryDatabase& library) : FLibrary(library) {}

    static QVariant Text(const std::string& text)
    {
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    }

    // The statement run with the values; the id it returns when it has RETURNING id.
    int64_t Run(const char* sql, const std::vector<QVariant>& values)
    {
        QSqlQuery query(FLibrary.Connection());
        if (!query.prepare(QString::fromLatin1(sql)))
            ADD_FAILURE() << sql << ": " << query.lastError().text().toStdString();
        for (const QVariant& value : values)
            query.addBindValue(value);
        if (!query.exec())
            ADD_FAILURE() << sql << ": " << query.lastError().text().toStdString();
        return query.next() ? query.value(0).toLongLong() : 0;
    }

    // A log file with one log; its id.
    int64_t Log(const std::string& path, const std::string& started, const std::string& server = "Server",
                bool missing = false)
    {
        const int64_t file = Run("INSERT INTO files (path, size, modified, hash, readable, note, missing) "
                                 "VALUES (?, 1, 1, '', 1, '', ?) RETURNING id",
                                 {Text(path), missing ? 1 : 0});
        return Run("INSERT INTO logs (file_id, server, port, mod, started, dated_by_name) "
                   "VALUES (?, ?, 14567, 'bf1942', ?, 1) RETURNING id",
                   {QVariant::fromValue<qlonglong>(file), Text(server), Text(started)});
    }

    int64_t Round(int64_t log, int place, const std::string& map, const std::string& started,
                  const std::string& mod = "bf1942", double start = 100)
    {
        return Run("INSERT INTO rounds (log_id, place, map, mod, mode, started, start, length, players, winner, "
                   "victory, tickets, note) VALUES (?, ?, ?, ?, 'GPM_CQ', ?, ?, 900, 2, '1', 'major', '1:20, 2:0', '') "
                   "RETURNING id",
                   {QVariant::fromValue<qlonglong>(log), place, Text(map), Text(mod), Text(started), start});
    }

    // An identity: the key hash, or "" for a player known by `names`' first only; every name.
    int64_t Identity(const std::string& keyhash, const std::vector<std::string>& names)
    {
        const std::string identity = keyhash.empty() ? "name:" + names.front() : keyhash;
        const int64_t id = Run("INSERT INTO identities (identity, keyhash) VALUES (?, ?) RETURNING id",
                               {Text(identity), Text(keyhash)});
        for (const std::string& name : names)
            Run("INSERT INTO identity_names (identity_id, name, folded) VALUES (?, ?, ?)",
                {QVariant::fromValue<qlonglong>(id), Text(name), Text(FoldedName(name))});
        return id;
    }

    struct TCounts {
        std::optional<int> score, kills, deaths, tks; // the server's table; nothing: no row there
        int replayScore = 0, replayKills = 0, replayDeaths = 0, replayTks = 0;
    };
    void Played(int64_t round, int64_t identity, int32_t id, const std::string& name, int team, int64_t seconds,
                const TCounts& counts)
    {
        const auto maybe = [](const std::optional<int>& v) { return v ? QVariant(*v) : QVariant(QMetaType::fromType<int>()); };
        Run("INSERT INTO player_rounds (round_id, identity_id, player_id, name, team, seconds, table_score, "
            "table_kills, table_deaths, table_tks, table_fields, score, kills, deaths, tks) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '', ?, ?, ?, ?)",
            {QVariant::fromValue<qlonglong>(round), QVariant::fromValue<qlonglong>(identity), id, Text(name), team,
             QVariant::fromValue<qlonglong>(seconds), maybe(counts.score), maybe(counts.kills), maybe(counts.deaths),
             maybe(counts.tks), counts.replayScore, counts.replayKills, counts.replayDeaths, counts.replayTks});
    }

    struct TSide {
        int64_t identity = 0;
        std::string name;
        int team = 1;
        std::optional<TWorldPlace> place;
    };
    void Kill(int64_t round, double time, const TSide& killer, const TSide& victim, const std::string& weapon,
              const std::string& kit = "", const std::string& vehicle = "")
    {
        const auto coordinate = [](const std::optional<TWorldPlace>& place, bool x) {
            return place ? QVariant(x ? place->x : place->z) : QVariant(QMetaType::fromType<double>());
        };
        Run("INSERT INTO kills (round_id, time, team_kill, killer_id, killer_identity, killer_name, killer_team, "
            "victim_id, victim_identity, victim_name, victim_team, weapon, kit, vehicle, killer_x, killer_z, victim_x, "
            "victim_z) VALUES (?, ?, ?, 1, ?, ?, ?, 2, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
            {QVariant::fromValue<qlonglong>(round), time, killer.team == victim.team ? 1 : 0,
             QVariant::fromValue<qlonglong>(killer.identity), Text(killer.name), killer.team,
             QVariant::fromValue<qlonglong>(victim.identity), Text(victim.name), victim.team, Text(weapon), Text(kit),
             Text(vehicle), coordinate(killer.place, true), coordinate(killer.place, false),
             coordinate(victim.place, true), coordinate(victim.place, false)});
    }

private:
    TLibraryDatabase& FLibrary;
};
