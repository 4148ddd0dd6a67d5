// Events applied to the replay state on the real window: look-ahead, kills, vehicles,
// control points and the scoreboard.
#include "../WindowTestUtil.h"
#include "ReplayLog.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace replaylog;

namespace {

QStringList MemoLines(const TTarvelMain& window)
{
    return window.Memo1->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The scoreboard as shown, a row a line: the eight cells joined by "|".
std::vector<std::string> Rows(const TTarvelMain& window)
{
    std::vector<std::string> rows;
    for (int i = 0; i < window.ScoreBord->topLevelItemCount(); ++i) {
        std::string row;
        for (int column = 0; column < 8; ++column)
            row += (column ? "|" : "") + window.ScoreBordCellText(window.ScoreBord->topLevelItem(i), column);
        rows.push_back(row);
    }
    return rows;
}

void ExpectAt(const TVector& v, double x, double y, double z)
{
    EXPECT_EQ(v.X, x);
    EXPECT_EQ(v.Y, y);
    EXPECT_EQ(v.Z, z);
}

} // namespace

TEST(ReplayLookAhead, NextEventOfThePlayerAndNextDeathFromAnyLaterEvent)
{
    TReplay r(Log(Round(Ev("spawnEvent", "10", 3, "100/0/200", {{"team", "2"}}) +                     // 0
                        Ev("spawnEvent", "11", 5, "300/0/400", {{"team", "1"}}) +                     // 1
                        Ev("pickupKit", "14", 3, "120/0/220") +                                       // 2
                        Score("18", 7, "500/0/600", "Kill", {{"victim_id", "5"}, {"weapon", "MP40"}}) + // 3
                        Score("18", 5, "300/0/400", "Death") +                                        // 4
                        // Not a kill, yet it names player 3 as victim: the next death all the same.
                        Score("19", 7, "500/0/600", "TK", {{"victim_id", "3"}, {"weapon", "Knife"}}) + // 5
                        Ev("pickupKit", "25", 5, "310/0/410") +                                       // 6
                        Ev("pickupKit", "30", 3, "130/0/230"))));                                     // 7
    r.Select(0);
    TTarvelMain& w = r.window;
    const TInfoClass& anna = r.State(3);
    ExpectAt(anna.CommingFrom, 100, 0, 200);
    ExpectAt(anna.GoingTo, 120, 0, 220);
    EXPECT_EQ(anna.ETA, 14);
    EXPECT_EQ(anna.TimeLastEvent, 10);
    EXPECT_EQ(anna.KilledByID, 7);
    EXPECT_EQ(anna.KilledByName, "Carl");
    EXPECT_EQ(anna.KilledByWeapon, "Knife");
    EXPECT_EQ(anna.KillByTime, 19);
    // The killer exists from this moment, before any event of its own, named from the roster.
    ASSERT_EQ(w.PlayerStates().Count(), 2);
    EXPECT_EQ(w.PlayerStates().Key(1), "7");
    const TInfoClass& carl = r.State(7);
    EXPECT_EQ(carl.PlayerID, 7);
    EXPECT_EQ(carl.PlayerName, "Carl");
    EXPECT_EQ(carl.KilledTime, 19);
    EXPECT_EQ(carl.Team(), 0);

    w.ApplyEvent(1);
    const TInfoClass& bert = r.State(5);
    EXPECT_EQ(bert.ETA, 18);
    EXPECT_EQ(bert.KilledByID, 7);
    EXPECT_EQ(carl.KilledTime, 18); // written by every look-ahead that finds a kill of Carl's
    w.ApplyEvent(2);
    ExpectAt(anna.GoingTo, 130, 0, 230);
    EXPECT_EQ(anna.TimeLastEvent, 14);
    EXPECT_EQ(anna.KilledByID, 7);

    w.ApplyEvent(3);
    w.ApplyEvent(4);
    // No later death: only the id says so; the rest of the earlier look-ahead stays.
    EXPECT_EQ(bert.KilledByID, -1);
    EXPECT_EQ(bert.KilledByName, "Carl");
    EXPECT_EQ(bert.KilledByWeapon, "MP40");
    EXPECT_EQ(bert.KillByTime, 18);
    EXPECT_EQ(bert.ETA, 25);
    EXPECT_EQ(bert.TimeLastEvent, 18);
    // Bert's last event: it stays where it is, with the times of the event before.
    w.ApplyEvent(6);
    ExpectAt(bert.CommingFrom, 310, 0, 410);
    ExpectAt(bert.GoingTo, 310, 0, 410);
    EXPECT_EQ(bert.ETA, 25);
    EXPECT_EQ(bert.TimeLastEvent, 18);
    EXPECT_EQ(bert.KilledByID, -1);
    EXPECT_EQ(carl.Kills, 1);
    EXPECT_EQ(MemoLines(w), (QStringList{QStringLiteral("Carl : Killed Bert who was in  with MP40"),
                                         QStringLiteral("Bert : Dead")}));
}

TEST(ReplayKill, VictimWithoutStateHaltsTheClockAfterTheKillCounted)
{
    TReplay r(Log(Round(Ev("spawnEvent", "10", 3, "100/0/200") +
                        Score("10", 3, "100/0/200", "Kill", {{"victim_id", "9"}, {"weapon", "MP40"}}) +
                        Score("10", 3, "100/0/200", "TK") + Ev("pickupKit", "20", 3, "1/1/1") +
                        Ev("pickupKit", "21", 3, "1/1/1"))));
    r.Select(0);
    TTarvelMain& w = r.window;
    EXPECT_EQ(MessageOf([&] { w.Timer1Timer(); }), "Error finding kiled player");
    EXPECT_EQ(r.State(3).Kills, 1);
    EXPECT_EQ(r.Find(9), nullptr);
    EXPECT_TRUE(MemoLines(w).isEmpty());
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(w.EventIndex(), 1);
    EXPECT_EQ(w.ReplayTime(), 10);

    // Continue goes on with the events after the failed one; the kill is not counted again.
    w.Button1Click();
    w.Timer1Timer();
    EXPECT_EQ(w.EventIndex(), 2);
    EXPECT_EQ(r.State(3).Kills, 1);
    EXPECT_EQ(r.State(3).TKs, 1);
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(MessageOf([&] { w.ApplyEvent(1); }), "Error finding kiled player");
    EXPECT_EQ(r.State(3).Kills, 2);
}

TEST(ReplayVehicles, DriverBindsTheNearestMatchingObjectAndLeavesItWhereHeGetsOut)
{
    TReplay r(Log(Round(Ev("spawnEvent", "10", 3, "990/0/990", {{"team", "1"}, {"kit", "Scout"}}) +
                        Ev("enterVehicle", "11", 3, "1000/0/1000", {{"vehicle", "Tank"}, {"pco_id", "0"}}) +
                        Ev("exitVehicle", "12", 3, "1500/0/1600", {{"vehicle", "Tank"}, {"pco_id", "0"}}) +
                        Ev("enterVehicle", "13", 5, "1500/0/1600", {{"vehicle", "Tank"}, {"pco_id", "1"}}) +
                        Ev("enterVehicle", "14", 3, "1500/0/1600", {{"vehicle", "Tank"}, {"pco_id", "0"}}) +
                        Score("15", 3, "1700/0/1700", "Death") +
                        Ev("spawnEvent", "16", 3, "9000/0/9000", {{"team", "1"}}) +
                        Score("17", 3, "1800/0/1900", "DeathNoMsg") +
                        Ev("destroyVehicle", "18", 3, "", {{"vehicle_pos", "1800/0/1900"}, {"vehicle", "Tank"}}))),
              BayAtStart, BayObjects);
    r.Select(0);
    TTarvelMain& w = r.window;
    ASSERT_EQ(w.MapObjects().Count(), 3);
    TMapObject& tank = *w.MapObjects().Object(1);
    TInfoClass& anna = r.State(3);

    // The Jeep stands nearer, but the Tank has the picture name the player's vehicle has.
    w.ApplyEvent(1);
    EXPECT_EQ(anna.MapObjectInUse, &tank);
    EXPECT_EQ(anna.Invechicle, "Tank");
    EXPECT_EQ(anna.PositionInvechicle, 0);
    EXPECT_EQ(anna.AbsoluteClassInfo, "Tank");

    w.ApplyEvent(2);
    EXPECT_EQ(anna.MapObjectInUse, nullptr);
    EXPECT_EQ(anna.PositionInvechicle, -1);
    EXPECT_EQ(anna.Invechicle, "Tank");
    EXPECT_EQ(anna.AbsoluteClassInfo, "Scout");
    EXPECT_EQ(tank.FPosition, "1500/0/1600");
    EXPECT_EQ(tank.FImage.Left, MapX(1500) - HalfMarker);
    EXPECT_EQ(tank.FImage.Top, MapY(1600) - HalfMarker);

    // A passenger only changes the marker picture.
    w.ApplyEvent(3);
    const TInfoClass& bert = r.State(5);
    EXPECT_EQ(bert.Invechicle, "");
    EXPECT_EQ(bert.PositionInvechicle, -1);
    EXPECT_EQ(bert.MapObjectInUse, nullptr);
    EXPECT_EQ(bert.AbsoluteClassInfo, "Tank");

    w.ApplyEvent(4);
    ASSERT_EQ(anna.MapObjectInUse, &tank);
    // A death with its message keeps the vehicle bound; a spawn does not unbind it either.
    w.ApplyEvent(5);
    w.ApplyEvent(6);
    EXPECT_EQ(anna.MapObjectInUse, &tank);
    EXPECT_EQ(anna.PositionInvechicle, 0);
    EXPECT_EQ(tank.FPosition, "1500/0/1600");
    // Without the message the vehicle stays where the player fell, unbound.
    w.ApplyEvent(7);
    EXPECT_EQ(anna.MapObjectInUse, nullptr);
    EXPECT_EQ(anna.PositionInvechicle, -1);
    EXPECT_EQ(tank.FPosition, "1800/0/1900");
    EXPECT_EQ(anna.Deaths, 2);
    EXPECT_EQ(MemoLines(w), QStringList{QStringLiteral("Anna : Dead")});
    // A destroyed vehicle goes home.
    w.ApplyEvent(8);
    EXPECT_EQ(tank.FPosition, "1005/0/1000");
}

TEST(ReplayControlPoints, SpawnTakesAPointAndEachAttackFlipsIt)
{
    TReplay r(Log(Round(Ev("spawnEvent", "10", 3, "3000/0/3000", {{"team", "2"}}) +
                        Ev("spawnEvent", "11", 5, "6000/0/6000", {{"team", "1"}}) + // beyond every tolerance
                        Score("12", 3, "3004/0/2998", "Attack") + Score("13", 3, "3004/0/2998", "Attack") +
                        Ev("spawnEvent", "14", 5, "3010/0/3000", {{"team", "1"}}) +
                        Score("15", 5, "2990/0/3000", "Attack"))),
              "", BayObjects);
    r.Select(0);
    TTarvelMain& w = r.window;
    const TMapObject& point = *w.MapObjects().Object(2);
    // The first event is applied before the map's objects are loaded.
    EXPECT_EQ(point.FTeam, 1);
    w.ApplyEvent(1);
    EXPECT_EQ(point.FTeam, 1);
    w.ApplyEvent(2);
    EXPECT_EQ(point.FTeam, 0);
    w.ApplyEvent(3);
    EXPECT_EQ(point.FTeam, 2);
    w.ApplyEvent(4);
    EXPECT_EQ(point.FTeam, 1);
    w.ApplyEvent(5);
    EXPECT_EQ(point.FTeam, 0);
    EXPECT_TRUE(MemoLines(w).isEmpty());
}

TEST(ReplayScoreBord, RowsSortedBySideWithDeathsCountsAndRemoval)
{
    TReplay r(Log(Round(Ev("spawnEvent", "10", 3, "100/0/100", {{"team", "1"}}) +
                        Ev("spawnEvent", "10", 5, "200/0/200", {{"team", "2"}}) +
                        Score("11", 7, "300/0/300", "Kill", {{"victim_id", "5"}}) + Score("11", 5, "200/0/200", "Death") +
                        Ev("spawnEvent", "12", 7, "300/0/300", {{"team", "1"}}) + Ev("destroyPlayer", "13", 3, "") +
                        Ev("pickupKit", "14", 5, "200/0/200") + Ev("pickupKit", "20", 5, "1/1/1") +
                        Ev("pickupKit", "21", 5, "1/1/1"))));
    r.Select(0);
    TTarvelMain& w = r.window;
    EXPECT_EQ(w.ScoreBord->topLevelItemCount(), 0); // rows come with the first tick
    r.Ticks(1);
    // Carl exists through Bert's look-ahead only: team 0 shows as ALIES.
    EXPECT_EQ(Rows(w), (std::vector<std::string>{"ALIES|Bert|||0|0|0|0", "ALIES|Carl|||0|0|0|0",
                                                "AXIS|Anna|||0|0|0|0"}));
    EXPECT_FALSE(w.CBTrackPlayer->isChecked());

    r.TickTo(3);
    EXPECT_EQ(w.ScoreBordCellText(w.ScoreBordRowOf(&r.State(5)), 2), "X");
    EXPECT_EQ(w.ScoreBordCellText(w.ScoreBordRowOf(&r.State(5)), 5), "1");
    EXPECT_EQ(w.ScoreBordCellText(w.ScoreBordRowOf(&r.State(7)), 4), "1");
    r.TickTo(4);
    ASSERT_EQ(w.ScoreBord->topLevelItemCount(), 3);
    EXPECT_EQ(w.ScoreBordCellText(w.ScoreBord->topLevelItem(0), 1), "Bert");
    EXPECT_EQ(w.ScoreBordCellText(w.ScoreBordRowOf(&r.State(7)), 0), "AXIS");

    const TInfoClass* anna = &r.State(3);
    r.TickTo(5);
    EXPECT_EQ(r.Find(3), nullptr);
    EXPECT_EQ(w.ScoreBordRowOf(anna), nullptr);
    EXPECT_EQ(w.ScoreBord->topLevelItemCount(), 2);
    r.TickTo(6);
    EXPECT_EQ(Rows(w), (std::vector<std::string>{"ALIES|Bert|||0|1|0|0", "AXIS|Carl|||1|0|0|0"}));

    EXPECT_FALSE(w.CBTrackPlayer->isChecked());
    w.ScoreBord->setCurrentItem(w.ScoreBord->topLevelItem(1));
    EXPECT_TRUE(w.CBTrackPlayer->isChecked());
}
