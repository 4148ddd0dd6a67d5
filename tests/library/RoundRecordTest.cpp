// What the match library keeps of a round: the same counts the stats command prints, the round's
// length as the window shows it, a cut-off round, and the places a kill has or has not.
#include "../replay/LogText.h"
#include "LogGen.h"
#include "TestUtil.h"
#include "WholeRoundCounts.h"
#include "library/RoundRecord.h"
#include "log/EventInfo.h"
#include "log/OpenedLog.h"
#include "replay/RoundStats.h"
#include "round/RoundReplay.h"
#include "settings/ProgramFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace replaylog;

namespace {

std::optional<int> Number(const TPlayerStat& row, const char* field)
{
    const std::string text = row.Field(field);
    return text.empty() ? std::nullopt : std::optional<int>(std::stoi(text));
}

// Every listed round of the log against what the stats command computes for it: the server's
// table, the replay's counts (also those the kill records add up to) and the round's length as
// a replay of it shows it.
void ExpectOneTruth(const std::string& file)
{
    TTempDir home;
    TProgramFiles files{home.Path("Tarvel")};
    TOpenedLog log;
    log.Open(file);
    ASSERT_FALSE(log.Rounds().empty());
    for (int n = 0; n < static_cast<int>(log.Rounds().size()); ++n) {
        SCOPED_TRACE("round " + std::to_string(n));
        const TRoundRecords records = RecordsOfRound(log, n);
        TEventInfoList events;
        log.BuildRoundEvents(n, events);
        const TRoundStats stats = ReadRoundStats(log.Document(), *log.Round(n));

        EXPECT_EQ(records.round.index, n);
        EXPECT_TRUE(records.round.table);
        EXPECT_EQ(records.round.winner, stats.winningTeam);
        EXPECT_EQ(records.round.tickets, stats.tickets);
        EXPECT_EQ(records.round.players, static_cast<int>(records.players.size()));
        ASSERT_TRUE(records.round.start);
        EXPECT_EQ(*records.round.start, events.GetEvent(0)->Timestamp);
        TRoundReplay replay(files, log.Roster());
        replay.Select(*log.Round(n));
        EXPECT_EQ(std::to_string(records.round.length), replay.LengthCaption());
        EXPECT_EQ(records.round.map, RoundMapName(*log.Round(n), ""));

        std::map<int32_t, const TPlayerRoundRecord*> byID;
        for (const TPlayerRoundRecord& p : records.players)
            EXPECT_TRUE(byID.emplace(p.id, &p).second) << "player " << p.id << " twice";
        for (const TPlayerStat& row : stats.players) {
            ASSERT_TRUE(byID.count(*row.ID()));
            const TPlayerRoundRecord& p = *byID[*row.ID()];
            EXPECT_EQ(p.kills, Number(row, "kills"));
            EXPECT_EQ(p.deaths, Number(row, "deaths"));
            EXPECT_EQ(p.tks, Number(row, "tks"));
            EXPECT_EQ(p.score, Number(row, "score"));
            EXPECT_EQ(p.name, row.Field("player_name"));
        }
        // A player's state, and its counts, go when the player leaves: the record adds those
        // to the counts at the end, so that every kill the replay applied counts to its killer.
        std::map<int32_t, TReplayCounts> fromKills;
        for (const TKillRecord& kill : records.kills) {
            EXPECT_TRUE(byID.count(kill.killerID) && byID.count(kill.victimID));
            TReplayCounts& c = fromKills[kill.killerID];
            (kill.teamKill ? c.tks : c.kills)++;
        }
        for (const auto& [id, c] : WholeRoundCounts(events, log.Roster())) {
            ASSERT_TRUE(byID.count(id)) << "player " << id;
            const TPlayerRoundRecord& p = *byID[id];
            ASSERT_TRUE(p.replay);
            EXPECT_EQ(p.replay->kills, c.kills) << p.name;
            EXPECT_EQ(p.replay->deaths, c.deaths) << p.name;
            EXPECT_EQ(p.replay->tks, c.tks) << p.name;
        }
        int killsCounted = 0;
        for (const TPlayerRoundRecord& p : records.players) {
            const TReplayCounts c = p.replay.value_or(TReplayCounts{});
            EXPECT_EQ(fromKills[p.id].kills, c.kills) << p.name;
            EXPECT_EQ(fromKills[p.id].tks, c.tks) << p.name;
            killsCounted += c.kills;
        }
        EXPECT_GT(killsCounted, 0);
    }
}

std::string GeneratedLog(const TTempDir& dir, uint64_t seed)
{
    loggen::Options options;
    options.seed = seed;
    options.players = 16;
    options.rounds = 3;
    options.roundTime = 240;
    return dir.Write("log.xml", loggen::generateToString(options));
}

} // namespace

TEST(RoundRecord, CountsOfGeneratedLogsAreTheStatsCommands)
{
    TSeparatorScope point('.');
    for (const uint64_t seed : {3u, 11u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TTempDir dir;
        ExpectOneTruth(GeneratedLog(dir, seed));
    }
}

TEST(RoundRecord, CountsOfTheDemoLogAreTheStatsCommands)
{
    TSeparatorScope point('.');
    const std::string log = std::string(ORNWICK_BIN_DIR) + "/demo/demo.zxml";
    if (!std::filesystem::exists(log))
        GTEST_SKIP() << "no demo log at " << log << " (build the target demo_log)";
    ExpectOneTruth(log);
}

TEST(RoundRecord, ACutOffTableGivesNoWinnerButTheReplaysCounts)
{
    TSeparatorScope point('.');
    TTempDir dir;
    std::string text;
    {
        loggen::Options options;
        options.seed = 5;
        options.players = 12;
        options.rounds = 2;
        options.roundTime = 240;
        text = loggen::generateToString(options);
    }
    // The log ends just after the first round's table began: the round is still listed.
    const size_t table = text.find("<bf:roundstats");
    ASSERT_NE(table, std::string::npos);
    text.resize(text.find('>', table) + 1);
    TOpenedLog log;
    try {
        log.Open(dir.Write("cut.xml", text));
    } catch (const std::exception&) {
        // the walk's failure keeps what it found
    }
    ASSERT_EQ(log.Rounds().size(), 1u);
    const TRoundRecords records = RecordsOfRound(log, 0);
    EXPECT_TRUE(records.round.winner.empty());
    EXPECT_TRUE(records.round.victoryType.empty());
    EXPECT_TRUE(records.round.tickets.empty());
    int kills = 0;
    for (const TPlayerRoundRecord& p : records.players) {
        EXPECT_TRUE(p.tableFields.empty());
        EXPECT_FALSE(p.kills || p.deaths || p.tks || p.score);
        if (p.replay)
            kills += p.replay->kills;
    }
    EXPECT_GT(kills, 0);
    EXPECT_FALSE(records.kills.empty());
    EXPECT_EQ(records.round.players, static_cast<int>(records.players.size()));
    EXPECT_GT(records.round.players, 0);
}

TEST(RoundRecord, KillsKeepTheirPlacesOnlyWhereTheLogGivesThem)
{
    TSeparatorScope point('.');
    TTempDir dir;
    const std::string killed = Score("20", 5, "400/3/500", "Death");
    const std::string text = Log(Round(
        Ev("spawnEvent", "10", 3, "100/0/100", {{"team", "1"}, {"kit", "Sniper"}}) +
        Ev("spawnEvent", "10", 5, "300/0/300", {{"team", "2"}}) + Ev("spawnEvent", "10", 7, "500/0/500", {{"team", "2"}}) +
        Ev("enterVehicle", "12", 3, "110/0/110", {{"vehicle", "Jeep"}}) +
        // A place for both.
        Score("20", 3, "120/5/130", "Kill", {{"victim_id", "5"}, {"weapon", "Rifle"}}) + killed +
        // The killer's place "(unknown)", the victim's 0/y/0: neither has one, though the event
        // list lends both their last places.
        Ev("spawnEvent", "30", 5, "300/0/300", {{"team", "2"}}) +
        Score("40", 3, "(unknown)", "Kill", {{"victim_id", "5"}, {"weapon", "Pistol"}}) +
        Score("40", 5, "0/71.8/0", "Death") +
        // A victim nobody held: the replay shows no kill.
        Score("50", 7, "520/0/520", "Kill", {{"victim_id", "99"}}) +
        // A team kill without the victim's death.
        Score("60", 7, "530/0/530", "TK", {{"victim_id", "5"}})));
    TOpenedLog log;
    log.Open(dir.Write("places.xml", text));
    ASSERT_EQ(log.Rounds().size(), 1u);
    const TRoundRecords records = RecordsOfRound(log, 0);
    ASSERT_EQ(records.kills.size(), 3u);

    const TKillRecord& placed = records.kills[0];
    EXPECT_EQ(placed.killerName, "Anna");
    EXPECT_EQ(placed.victimName, "Bert");
    EXPECT_EQ(placed.weapon, "Rifle");
    EXPECT_EQ(placed.kit, "Sniper");
    EXPECT_EQ(placed.vehicle, "Jeep");
    EXPECT_EQ(placed.killerPlace, (TWorldPlace{120, 130}));
    EXPECT_EQ(placed.victimPlace, (TWorldPlace{400, 500}));
    EXPECT_FALSE(placed.teamKill);

    const TKillRecord& unplaced = records.kills[1];
    EXPECT_EQ(unplaced.time, 40);
    EXPECT_EQ(unplaced.weapon, "Pistol");
    EXPECT_FALSE(unplaced.killerPlace);
    EXPECT_FALSE(unplaced.victimPlace);

    const TKillRecord& teamKill = records.kills[2];
    EXPECT_TRUE(teamKill.teamKill);
    EXPECT_EQ(teamKill.killerName, "Carl");
    EXPECT_EQ(teamKill.victimName, "Bert");
    EXPECT_FALSE(teamKill.victimPlace);

    // The table names no winner and no player: the round's players are those on the server, their
    // sides from their spawns.
    EXPECT_TRUE(records.round.table);
    EXPECT_TRUE(records.round.winner.empty());
    ASSERT_EQ(records.round.players, 3);
    EXPECT_EQ(records.players[0].name, "Anna");
    EXPECT_EQ(records.players[0].team, 1);
    EXPECT_EQ(records.players[1].team, 2);
    EXPECT_EQ(records.round.length, 50);
    EXPECT_EQ(*records.round.start, 10);

    EXPECT_FALSE(OwnPlace("(unknown)"));
    EXPECT_FALSE(OwnPlace("0/12.5/0"));
    EXPECT_FALSE(OwnPlace(""));
    EXPECT_EQ(OwnPlace("0/1/7.5"), (TWorldPlace{0, 7.5}));
}

TEST(RoundRecord, EventsThatDoNotReadEndTheRoundWithANote)
{
    TSeparatorScope point('.');
    TTempDir dir;
    const std::string text = Log(Round(Ev("spawnEvent", "10", 3, "100/0/100", {{"team", "1"}}) +
                                       Score("20", 3, "120/0/130", "Kill", {{"victim_id", "5"}}) +
                                       Ev("spawnEvent", "2x", 5, "300/0/300", {{"team", "2"}}) +
                                       Score("30", 5, "310/0/310", "Kill", {{"victim_id", "3"}})));
    TOpenedLog log;
    log.Open(dir.Write("bad.xml", text));
    ASSERT_EQ(log.Rounds().size(), 1u);
    TRoundRecords records;
    ASSERT_NO_THROW(records = RecordsOfRound(log, 0));
    EXPECT_EQ(records.round.note, "'2x' is not a valid floating point value");
    // What was read before stays: the table, the players on the server, their first events.
    EXPECT_TRUE(records.round.table);
    EXPECT_EQ(records.round.players, 3);
    ASSERT_TRUE(records.round.start);
    EXPECT_THROW(RecordsOfRound(log, 1), std::exception);
}
