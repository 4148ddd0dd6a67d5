// The library's answers over a library of a million kills: the rounds table filtered by a player
// and by a map and days, a player's page and the places of a map's heat map, each under 100 ms.
// The library is made once, of synthetic rows in one transaction, and kept with the other inputs.
#include "BenchSupport.h"
#include "library/LibraryDatabase.h"
#include "library/LibraryQuery.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

constexpr int Logs = 200, RoundsPerLog = 25, Maps = 25, Identities = 2000, PlayersPerRound = 32, KillsPerRound = 200;

class TRandom {
public:
    uint32_t Next(uint32_t below)
    {
        FState = FState * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(FState >> 33) % below;
    }

private:
    uint64_t FState = 42;
};

QSqlQuery Prepared(TLibraryDatabase& library, const char* sql)
{
    QSqlQuery query(library.Connection());
    if (!query.prepare(QString::fromLatin1(sql)))
        throw std::runtime_error(sql + (": " + query.lastError().text().toStdString()));
    return query;
}

void Exec(QSqlQuery& query)
{
    if (!query.exec())
        throw std::runtime_error("library bench: " + query.lastError().text().toStdString());
}

QString Name(int identity) { return QStringLiteral("Player%1").arg(identity); }

void Fill(TLibraryDatabase& library)
{
    QSqlDatabase& db = library.Connection();
    db.transaction();
    TRandom random;
    QSqlQuery identity = Prepared(library, "INSERT INTO identities (id, identity, keyhash) VALUES (?, ?, ?)");
    QSqlQuery name = Prepared(library, "INSERT INTO identity_names (identity_id, name, folded) VALUES (?, ?, ?)");
    for (int i = 1; i <= Identities; ++i) {
        const QString hash = QStringLiteral("%1").arg(i, 32, 16, QLatin1Char('0'));
        identity.bindValue(0, i);
        identity.bindValue(1, hash);
        identity.bindValue(2, hash);
        Exec(identity);
        for (const QString& n : {Name(i), QStringLiteral("[TAG]") + Name(i)}) {
            name.bindValue(0, i);
            name.bindValue(1, n);
            name.bindValue(2, n.toLower());
            Exec(name);
            if (i % 4)
                break; // one player in four changed name
        }
    }
    QSqlQuery file = Prepared(library, "INSERT INTO files (id, path, size, modified, hash, readable, note) VALUES (?, ?, 1, 1, '', 1, '')");
    QSqlQuery log = Prepared(library, "INSERT INTO logs (id, file_id, server, port, mod, started, dated_by_name) VALUES (?, ?, 'Server', 14567, 'bf1942', ?, 1)");
    QSqlQuery round = Prepared(library,
                               "INSERT INTO rounds (id, log_id, place, map, mod, mode, started, start, length, players, "
                               "winner, victory, tickets, note) VALUES (?, ?, ?, ?, 'bf1942', 'GPM_CQ', ?, 0, 1800, ?, "
                               "'1', 'major', '1:20, 2:0', '')");
    QSqlQuery played = Prepared(library,
                                "INSERT INTO player_rounds (round_id, identity_id, player_id, name, team, seconds, "
                                "table_score, table_kills, table_deaths, table_tks, table_fields, score, kills, deaths, "
                                "tks) VALUES (?, ?, ?, ?, ?, 1800, ?, ?, ?, 0, '', ?, ?, ?, 0)");
    QSqlQuery kill = Prepared(library,
                              "INSERT INTO kills (round_id, time, team_kill, killer_id, killer_identity, killer_name, "
                              "killer_team, victim_id, victim_identity, victim_name, victim_team, weapon, kit, vehicle, "
                              "killer_x, killer_z, victim_x, victim_z) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                              "?, ?, ?, ?, ?)");
    const QString kits[] = {"Assault", "Medic", "Scout", "Engineer", "AntiTank", "Support"};
    const QString vehicles[] = {"", "", "", "", "Sherman", "Tiger", "Jeep", "Bf109"};
    int roundId = 0;
    for (int l = 1; l <= Logs; ++l) {
        file.bindValue(0, l);
        file.bindValue(1, QStringLiteral("/logs/ev_14567-%1.xml").arg(l));
        Exec(file);
        for (int r = 0; r < RoundsPerLog; ++r) {
            ++roundId;
            // A dozen rounds a day from the first of January 2024.
            const QString day = QDate(2024, 1, 1).addDays(roundId / 12).toString(QStringLiteral("yyyy-MM-dd"));
            const QString started = day + QStringLiteral(" %1:00").arg(roundId % 12 * 2, 2, 10, QLatin1Char('0'));
            if (r == 0) {
                log.bindValue(0, l);
                log.bindValue(1, l);
                log.bindValue(2, started);
                Exec(log);
            }
            round.bindValue(0, roundId);
            round.bindValue(1, l);
            round.bindValue(2, r);
            round.bindValue(3, QStringLiteral("map%1").arg(random.Next(Maps), 2, 10, QLatin1Char('0')));
            round.bindValue(4, started);
            round.bindValue(5, PlayersPerRound);
            Exec(round);
            int players[PlayersPerRound];
            for (int p = 0; p < PlayersPerRound; ++p) {
                players[p] = 1 + static_cast<int>(random.Next(Identities));
                played.bindValue(0, roundId);
                played.bindValue(1, players[p]);
                played.bindValue(2, p);
                played.bindValue(3, Name(players[p]));
                played.bindValue(4, 1 + p % 2);
                for (int c = 0; c < 3; ++c) {
                    played.bindValue(5 + c, static_cast<int>(random.Next(20)));
                    played.bindValue(8 + c, static_cast<int>(random.Next(20)));
                }
                Exec(played);
            }
            for (int k = 0; k < KillsPerRound; ++k) {
                const int a = static_cast<int>(random.Next(PlayersPerRound));
                const int b = static_cast<int>(random.Next(PlayersPerRound));
                const QVariant values[] = {roundId, 10.0 + k * 8, a % 2 == b % 2 ? 1 : 0, a, players[a], Name(players[a]),
                                           1 + a % 2, b, players[b], Name(players[b]), 1 + b % 2,
                                           QStringLiteral("Weapon%1").arg(random.Next(20)), kits[random.Next(6)],
                                           vehicles[random.Next(8)], random.Next(2000) + 0.5, random.Next(2000) + 0.25,
                                           random.Next(2000) + 0.5, random.Next(2000) + 0.25};
                for (int v = 0; v < 18; ++v)
                    kill.bindValue(v, values[v]);
                Exec(kill);
            }
        }
    }
    if (!db.commit())
        throw std::runtime_error("library bench: " + db.lastError().text().toStdString());
}

// The library, made when missing (or of another schema).
TLibraryDatabase& Library()
{
    static std::unique_ptr<TLibraryDatabase> library = [] {
        const std::string path = BenchDataFolder() + "/library-query-" + std::to_string(LibrarySchemaVersion) + ".sqlite";
        const std::string filling = path + ".filling";
        if (FileSize(path) <= 0) {
            std::filesystem::remove(filling);
            std::filesystem::remove(filling + "-wal");
            std::filesystem::remove(filling + "-shm");
            {
                TLibraryDatabase made(filling);
                Fill(made);
            }
            std::filesystem::rename(filling, path);
        }
        return std::make_unique<TLibraryDatabase>(path);
    }();
    return *library;
}

void BM_LibraryRoundsByPlayer(benchmark::State& state)
{
    TRoundFilter filter;
    filter.player = "[tag]PLAYER1236";
    size_t found = 0;
    for (auto _ : state)
        found = LibraryRounds(Library(), filter).size();
    state.counters["rounds"] = static_cast<double>(found);
}

void BM_LibraryRoundsByMapAndDays(benchmark::State& state)
{
    TRoundFilter filter;
    filter.map = "map07";
    filter.since = "2024-03-01";
    filter.until = "2024-06-30";
    size_t found = 0;
    for (auto _ : state)
        found = LibraryRounds(Library(), filter).size();
    state.counters["rounds"] = static_cast<double>(found);
}

void BM_LibraryRoundsAll(benchmark::State& state)
{
    size_t found = 0;
    for (auto _ : state)
        found = LibraryRounds(Library(), {}).size();
    state.counters["rounds"] = static_cast<double>(found);
}

void BM_LibraryPlayerPage(benchmark::State& state)
{
    size_t kills = 0;
    for (auto _ : state) {
        const std::optional<TPlayerPage> page = PlayerPage(Library(), "player777");
        kills = page ? page->kills.size() + page->deaths.size() : 0;
    }
    state.counters["kills+deaths"] = static_cast<double>(kills);
}

void BM_LibraryHeatPlaces(benchmark::State& state)
{
    THeatFilter filter;
    filter.map = "map07";
    size_t places = 0;
    for (auto _ : state)
        places = HeatPlaces(Library(), filter).size();
    state.counters["places"] = static_cast<double>(places);
}

void BM_LibraryHeatPlacesOfTeamAndWeapon(benchmark::State& state)
{
    THeatFilter filter;
    filter.map = "map07";
    filter.kind = THeatKind::Kills;
    filter.team = 1;
    filter.weapon = "Weapon3";
    size_t places = 0;
    for (auto _ : state)
        places = HeatPlaces(Library(), filter).size();
    state.counters["places"] = static_cast<double>(places);
}

void BM_LibraryHeatPlacesOfPlayer(benchmark::State& state)
{
    THeatFilter filter;
    filter.map = "map07";
    filter.player = "Player777";
    size_t places = 0;
    for (auto _ : state)
        places = HeatPlaces(Library(), filter).size();
    state.counters["places"] = static_cast<double>(places);
}

void BM_LibraryPlayers(benchmark::State& state)
{
    size_t players = 0;
    for (auto _ : state)
        players = LibraryPlayers(Library()).size();
    state.counters["players"] = static_cast<double>(players);
}

} // namespace

#define LIBRARY_BENCHMARK(name) \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true)
LIBRARY_BENCHMARK(BM_LibraryRoundsByPlayer);
LIBRARY_BENCHMARK(BM_LibraryRoundsByMapAndDays);
LIBRARY_BENCHMARK(BM_LibraryRoundsAll);
LIBRARY_BENCHMARK(BM_LibraryPlayerPage);
LIBRARY_BENCHMARK(BM_LibraryHeatPlaces);
LIBRARY_BENCHMARK(BM_LibraryHeatPlacesOfTeamAndWeapon);
LIBRARY_BENCHMARK(BM_LibraryHeatPlacesOfPlayer);
LIBRARY_BENCHMARK(BM_LibraryPlayers);

void ReportLibraryQueryBenchmarks()
{
    auto& m = MedianSeconds();
    for (const char* name : {"BM_LibraryRoundsByPlayer", "BM_LibraryRoundsByMapAndDays", "BM_LibraryPlayerPage",
                             "BM_LibraryHeatPlaces", "BM_LibraryHeatPlacesOfTeamAndWeapon", "BM_LibraryHeatPlacesOfPlayer"})
        if (m.count(name))
            std::printf("library of a million kills, %s: %.1f ms  (goal < 100 ms)\n", name + 3, m[name] * 1000);
    if (m.count("BM_LibraryRoundsAll") && m.count("BM_LibraryPlayers"))
        std::printf("library of a million kills, every round: %.1f ms, every player: %.1f ms\n",
                    m["BM_LibraryRoundsAll"] * 1000, m["BM_LibraryPlayers"] * 1000);
}
