// What each event does to the replay session: the look-ahead, kills, vehicles and control
// points, with the score log's lines.
#include "SessionReplay.h"

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <vector>

using namespace replaylog;

namespace {

void ExpectAt(const TVector& v, double x, double y, double z)
{
    EXPECT_EQ(v.X, x);
    EXPECT_EQ(v.Y, y);
    EXPECT_EQ(v.Z, z);
}

// The log replayed by a session at the calibration the window has for "bay" from BayAtStart.
struct TEvents : TSessionReplay {
    explicit TEvents(const std::string& log, const std::string& objects = "") : TSessionReplay(log)
    {
        if (!objects.empty())
            objectFile = dir.Write("bayOBS.con", objects);
        Select(0);
    }
    void Apply(int index)
    {
        session.ApplyEvent(index);
        Take();
    }
    std::string ErrorOf(void (TEvents::*step)(int), int index)
    {
        try {
            (this->*step)(index);
        } catch (const std::exception& e) {
            Take();
            return e.what();
        }
        return "";
    }
    TInfoClass* Find(int id) const { return session.PlayerStates().Find(std::to_string(id)); }
    TInfoClass& State(int id) const
    {
        if (TInfoClass* state = Find(id))
            return *state;
        throw std::runtime_error("no state for player " + std::to_string(id));
    }
    TTempDir dir;
};

} // namespace

TEST(SessionLookAhead, NextEventOfThePlayerAndNextDeathFromAnyLaterEvent)
{
    TEvents r(Log(Round(Ev("spawnEvent", "10", 3, "100/0/200", {{"team", "2"}}) +                     // 0
                        Ev("spawnEvent", "11", 5, "300/0/400", {{"team", "1"}}) +                     // 1
                        Ev("pickupKit", "14", 3, "120/0/220") +                                       // 2
                        Score("18", 7, "500/0/600", "Kill", {{"victim_id", "5"}, {"weapon", "MP40"}}) + // 3
                        Score("18", 5, "300/0/400", "Death") +                                        // 4
                        // Not a kill, yet it names player 3 as victim: the next death all the same.
                        Score("19", 7, "500/0/600", "TK", {{"victim_id", "3"}, {"weapon", "Knife"}}) + // 5
                        Ev("pickupKit", "25", 5, "310/0/410") +                                       // 6
                        Ev("pickupKit", "30", 3, "130/0/230"))));                                     // 7
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
    ASSERT_EQ(r.session.PlayerStates().Count(), 2);
    EXPECT_EQ(r.session.PlayerStates().Key(1), "7");
    const TInfoClass& carl = r.State(7);
    EXPECT_EQ(carl.PlayerID, 7);
    EXPECT_EQ(carl.PlayerName, "Carl");
    EXPECT_EQ(carl.KilledTime, 19);
    EXPECT_EQ(carl.Team(), 0);

    r.Apply(1);
    const TInfoClass& bert = r.State(5);
    EXPECT_EQ(bert.ETA, 18);
    EXPECT_EQ(bert.KilledByID, 7);
    EXPECT_EQ(carl.KilledTime, 18); // written by every look-ahead that finds a kill of Carl's
    r.Apply(2);
    ExpectAt(anna.GoingTo, 130, 0, 230);
    EXPECT_EQ(anna.TimeLastEvent, 14);
    EXPECT_EQ(anna.KilledByID, 7);

    r.Apply(3);
    r.Apply(4);
    // No later death: only the id says so; the rest of the earlier look-ahead stays.
    EXPECT_EQ(bert.KilledByID, -1);
    EXPECT_EQ(bert.KilledByName, "Carl");
    EXPECT_EQ(bert.KilledByWeapon, "MP40");
    EXPECT_EQ(bert.KillByTime, 18);
    EXPECT_EQ(bert.ETA, 25);
    EXPECT_EQ(bert.TimeLastEvent, 18);
    // Bert's last event: it stays where it is, with the times of the event before.
    r.Apply(6);
    ExpectAt(bert.CommingFrom, 310, 0, 410);
    ExpectAt(bert.GoingTo, 310, 0, 410);
    EXPECT_EQ(bert.ETA, 25);
    EXPECT_EQ(bert.TimeLastEvent, 18);
    EXPECT_EQ(bert.KilledByID, -1);
    EXPECT_EQ(carl.Kills, 1);
    EXPECT_EQ(r.scoreLog, (std::vector<std::string>{"Carl : Killed Bert who was in  with MP40", "Bert : Dead"}));
}

TEST(SessionKill, VictimWithoutStateHaltsTheClockAfterTheKillCounted)
{
    TEvents r(Log(Round(Ev("spawnEvent", "10", 3, "100/0/200") +
                        Score("10", 3, "100/0/200", "Kill", {{"victim_id", "9"}, {"weapon", "MP40"}}) +
                        Score("10", 3, "100/0/200", "TK") + Ev("pickupKit", "20", 3, "1/1/1") +
                        Ev("pickupKit", "21", 3, "1/1/1"))));
    EXPECT_EQ(r.ErrorOf(&TEvents::Ticks, 1), "Error finding kiled player");
    EXPECT_EQ(r.State(3).Kills, 1);
    EXPECT_EQ(r.Find(9), nullptr);
    EXPECT_TRUE(r.scoreLog.empty());
    EXPECT_FALSE(r.session.Ended());
    EXPECT_EQ(r.session.EventIndex(), 1);
    EXPECT_EQ(r.session.ReplayTime(), 10);

    // Continuing goes on with the events after the failed one; the kill is not counted again.
    EXPECT_TRUE(r.session.Tick());
    EXPECT_EQ(r.session.EventIndex(), 2);
    EXPECT_EQ(r.State(3).Kills, 1);
    EXPECT_EQ(r.State(3).TKs, 1);
    EXPECT_EQ(r.ErrorOf(&TEvents::Apply, 1), "Error finding kiled player");
    EXPECT_EQ(r.State(3).Kills, 2);
}

TEST(SessionVehicles, DriverBindsTheNearestMatchingObjectAndLeavesItWhereHeGetsOut)
{
    TEvents r(Log(Round(Ev("spawnEvent", "10", 3, "990/0/990", {{"team", "1"}, {"kit", "Scout"}}) +
                        Ev("enterVehicle", "11", 3, "1000/0/1000", {{"vehicle", "Tank"}, {"pco_id", "0"}}) +
                        Ev("exitVehicle", "12", 3, "1500/0/1600", {{"vehicle", "Tank"}, {"pco_id", "0"}}) +
                        Ev("enterVehicle", "13", 5, "1500/0/1600", {{"vehicle", "Tank"}, {"pco_id", "1"}}) +
                        Ev("enterVehicle", "14", 3, "1500/0/1600", {{"vehicle", "Tank"}, {"pco_id", "0"}}) +
                        Score("15", 3, "1700/0/1700", "Death") +
                        Ev("spawnEvent", "16", 3, "9000/0/9000", {{"team", "1"}}) +
                        Score("17", 3, "1800/0/1900", "DeathNoMsg") +
                        Ev("destroyVehicle", "18", 3, "", {{"vehicle_pos", "1800/0/1900"}, {"vehicle", "Tank"}}))),
              BayObjects);
    ASSERT_EQ(r.session.MapObjects().Count(), 3);
    TMapObject& tank = *r.session.MapObjects().Object(1);
    TInfoClass& anna = r.State(3);

    // The Jeep stands nearer, but the Tank has the picture name the player's vehicle has.
    r.Apply(1);
    EXPECT_EQ(anna.MapObjectInUse, &tank);
    EXPECT_EQ(anna.Invechicle, "Tank");
    EXPECT_EQ(anna.PositionInvechicle, 0);
    EXPECT_EQ(anna.AbsoluteClassInfo, "Tank");

    r.Apply(2);
    EXPECT_EQ(anna.MapObjectInUse, nullptr);
    EXPECT_EQ(anna.PositionInvechicle, -1);
    EXPECT_EQ(anna.Invechicle, "Tank");
    EXPECT_EQ(anna.AbsoluteClassInfo, "Scout");
    EXPECT_EQ(tank.FPosition, "1500/0/1600");
    EXPECT_EQ(tank.FImage.Left, MapX(1500) - HalfMarker);
    EXPECT_EQ(tank.FImage.Top, MapY(1600) - HalfMarker);

    // A passenger only changes the marker picture.
    r.Apply(3);
    const TInfoClass& bert = r.State(5);
    EXPECT_EQ(bert.Invechicle, "");
    EXPECT_EQ(bert.PositionInvechicle, -1);
    EXPECT_EQ(bert.MapObjectInUse, nullptr);
    EXPECT_EQ(bert.AbsoluteClassInfo, "Tank");

    r.Apply(4);
    ASSERT_EQ(anna.MapObjectInUse, &tank);
    // A death with its message keeps the vehicle bound; a spawn does not unbind it either.
    r.Apply(5);
    r.Apply(6);
    EXPECT_EQ(anna.MapObjectInUse, &tank);
    EXPECT_EQ(anna.PositionInvechicle, 0);
    EXPECT_EQ(tank.FPosition, "1500/0/1600");
    // Without the message the vehicle stays where the player fell, unbound.
    r.Apply(7);
    EXPECT_EQ(anna.MapObjectInUse, nullptr);
    EXPECT_EQ(anna.PositionInvechicle, -1);
    EXPECT_EQ(tank.FPosition, "1800/0/1900");
    EXPECT_EQ(anna.Deaths, 2);
    EXPECT_EQ(r.scoreLog, std::vector<std::string>{"Anna : Dead"});
    // A destroyed vehicle goes home.
    r.Apply(8);
    EXPECT_EQ(tank.FPosition, "1005/0/1000");
}

TEST(SessionControlPoints, SpawnTakesAPointAndEachAttackFlipsIt)
{
    TEvents r(Log(Round(Ev("spawnEvent", "10", 3, "3000/0/3000", {{"team", "2"}}) +
                        Ev("spawnEvent", "11", 5, "6000/0/6000", {{"team", "1"}}) + // beyond every tolerance
                        Score("12", 3, "3004/0/2998", "Attack") + Score("13", 3, "3004/0/2998", "Attack") +
                        Ev("spawnEvent", "14", 5, "3010/0/3000", {{"team", "1"}}) +
                        Score("15", 5, "2990/0/3000", "Attack"))),
              BayObjects);
    const TMapObject& point = *r.session.MapObjects().Object(2);
    // The first event is applied before the map's objects are loaded.
    EXPECT_EQ(point.FTeam, 1);
    r.Apply(1);
    EXPECT_EQ(point.FTeam, 1);
    r.Apply(2);
    EXPECT_EQ(point.FTeam, 0);
    r.Apply(3);
    EXPECT_EQ(point.FTeam, 2);
    r.Apply(4);
    EXPECT_EQ(point.FTeam, 1);
    r.Apply(5);
    EXPECT_EQ(point.FTeam, 0);
    EXPECT_TRUE(r.scoreLog.empty());
}

// A marker is placed at its last event's place unless given one; a place of (0, 0), margins
// included, is no place and leaves the marker where it was.
TEST(SessionMarkers, ZeroIsAMissingCoordinate)
{
    TEvents r(Log(Round(Ev("spawnEvent", "10", 3, "0.5/0/200") + Ev("pickupKit", "20", 3, "0/0/300"))));
    TInfoClass& anna = r.State(3);
    EXPECT_EQ(anna.Image.Left, MapX(0.5) - HalfStandIn);
    EXPECT_EQ(anna.Image.Top, MapY(200) - HalfStandIn);
    r.session.PlaceMarker(anna, 0, 40);
    EXPECT_EQ(anna.Image.Left, MapX(0.5) - HalfStandIn);
    EXPECT_EQ(anna.Image.Top, 40 - HalfStandIn);

    TReplaySettings settings = DefaultSettings();
    settings.left = -MapX(0.5);
    settings.top = -MapY(200);
    r.session.SetSettings(settings);
    r.session.PlaceMarker(anna, 0, 0);
    EXPECT_EQ(anna.Image.Left, MapX(0.5) - HalfStandIn);
    EXPECT_EQ(anna.Image.Top, 40 - HalfStandIn);
    settings.top = 5 - MapY(200);
    r.session.SetSettings(settings);
    r.session.PlaceMarker(anna, 0, 0);
    EXPECT_EQ(anna.Image.Left, -HalfStandIn);
    EXPECT_EQ(anna.Image.Top, 5 - HalfStandIn);
}
