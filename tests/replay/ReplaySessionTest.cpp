// The replay session without a window: its clock, what events do, seeks against plain ticks,
// kill steps, the scoreboard's row order and the overlays under a calibration that changes.
#include "GeneratedLog.h"
#include "SessionReplay.h"
#include "mapview/Overlays.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

using namespace replaylog;

namespace {

// Anna (3, Axis) walks and is killed by Bert (5, Allies) at 20 s; Bert team-kills Carl at 55 s.
std::string FightLog()
{
    std::string events = Ev("spawnEvent", "10", 3, "100/0/100", {{"team", "1"}}) +
                         Ev("spawnEvent", "10", 5, "130/0/100", {{"team", "2"}}) +
                         Ev("pickupKit", "15", 3, "110/0/100") +
                         Score("20", 5, "130/0/100", "Kill", {{"victim_id", "3"}, {"weapon", "M1"}}) +
                         Score("20", 3, "115/0/100", "Death") + Score("55", 5, "130/0/100", "TK", {{"victim_id", "7"}});
    for (int t = 60; t <= 80; t += 10)
        events += Ev("pickupKit", std::to_string(t), 5, "140/0/100");
    return Log(Round(events));
}

// Events of one player at the given time stamps, each a team kill, so that TKs counts how
// often they were applied; the first is a spawn.
std::string TeamKills(const std::vector<std::string>& times, int id = 3)
{
    std::string events = Ev("spawnEvent", times.front(), id, "100/0/200", {{"team", "2"}});
    for (size_t i = 1; i < times.size(); ++i)
        events += Score(times[i], id, "100/0/200", "TK");
    return events;
}

void TickTo(TSessionReplay& r, double seconds)
{
    while (r.session.ReplayTime() < seconds && !r.session.Ended())
        r.Ticks(1);
}


} // namespace

TEST(SessionClock, ATickIsATenthOfASecondThatAppliesTheEventsDueThenUntilTheRoundEnds)
{
    TSessionReplay r(FightLog());
    r.Select(0);
    EXPECT_EQ(r.session.ReplayTime(), 10);
    EXPECT_EQ(r.session.EventIndex(), 0);
    // The first event is applied at the start: Anna, and Bert, whom her coming death names.
    EXPECT_EQ(r.session.PlayerStates().Count(), 2);

    r.Ticks(1);
    EXPECT_NEAR(r.session.ReplayTime(), 10.1, 1e-9);
    EXPECT_EQ(r.session.EventIndex(), 1); // Bert's spawn, due at 10 s
    EXPECT_TRUE(r.report.eventsApplied);
    EXPECT_EQ(r.report.elapsed, 0);
    EXPECT_EQ(r.report.timeLine, 101);
    r.Ticks(1);
    EXPECT_FALSE(r.report.eventsApplied);
    EXPECT_EQ(r.session.EventIndex(), 1);

    TickTo(r, 20.05);
    EXPECT_EQ(r.scoreLog, (std::vector<std::string>{"Bert : Killed Anna who was in  with M1", "Anna : Dead"}));
    EXPECT_TRUE(r.session.FindPlayerState(3)->Dead);
    EXPECT_EQ(r.session.FindPlayerState(5)->Kills, 1);
    EXPECT_EQ(r.elapsed, 10);

    // Carl has no state: a team kill is counted and told all the same.
    TickTo(r, 1000);
    EXPECT_TRUE(r.session.Ended());
    EXPECT_TRUE(r.report.roundEnded);
    EXPECT_EQ(r.session.FindPlayerState(5)->TKs, 1);
    EXPECT_EQ(r.scoreLog.back(), "Bert : Team kill");
    // Its second-to-last event ends the round, applying the last at once.
    EXPECT_EQ(r.session.EventIndex(), r.session.Events().Count() - 2);
    EXPECT_LT(r.session.ReplayTime(), 71);
}

TEST(SessionClock, GapsOfMoreThan100SecondsAreCrossedInJumps)
{
    TSessionReplay r(Log(Round(TeamKills({"10", "260", "261", "262", "263"}))));
    r.Select(0);
    r.Ticks(1);
    EXPECT_DOUBLE_EQ(r.session.ReplayTime(), 110.1);
    EXPECT_EQ(r.elapsed, 100);
    r.Ticks(1);
    EXPECT_DOUBLE_EQ(r.session.ReplayTime(), 210.2);
    r.Ticks(1); // 49.8 s left: tenths from here
    EXPECT_DOUBLE_EQ(r.session.ReplayTime(), 210.3);
    EXPECT_EQ(r.session.EventIndex(), 0);
    while (r.session.EventIndex() < 1)
        r.Ticks(1);
    EXPECT_NEAR(r.session.ReplayTime(), 260.1, 0.15);
}

TEST(SessionClock, EventsOfOneTenthFallDueOnOneTick)
{
    // Tenths are truncated: 10.05 is tenth 100, and so is 10.1, whose double lies just below
    // 10.1 (times ten in extended precision); the clock at 10.0 is tenth 100 too.
    TSessionReplay r(Log(Round(Ev("pickupKit", "10", 3, "1/1/1") + Ev("pickupKit", "10.0", 5, "1/1/1") +
                               Ev("pickupKit", "10.05", 7, "1/1/1") + Ev("pickupKit", "10.1", 9, "1/1/1") +
                               Ev("pickupKit", "10.15", 11, "1/1/1") + TeamKills({"20", "21"}))));
    r.Select(0);
    r.Ticks(1);
    EXPECT_EQ(r.session.EventIndex(), 3);
    EXPECT_EQ(r.session.PlayerStates().Count(), 4);
    EXPECT_EQ(r.session.PlayerStates().Key(3), "9"); // in list order
    r.Ticks(1); // the clock at 10.1 is in tenth 100 as well
    EXPECT_EQ(r.session.EventIndex(), 3);
    r.Ticks(1);
    EXPECT_EQ(r.session.EventIndex(), 4);
}

TEST(SessionClock, TheLoopRestartsFromTheFirstEventAfterMoreThan100Events)
{
    std::vector<std::string> times(102, "10.5");
    times.insert(times.end(), 9, "60");
    TSessionReplay r(Log(Round(TeamKills(times))));
    TReplaySettings looping = DefaultSettings();
    looping.loop = true;
    r.session.SetSettings(looping);
    r.Select(0);
    for (int i = 0; i < 100 && r.session.FindPlayerState(3)->TKs == 0; ++i)
        r.Ticks(1);
    // Restarted at once: the first event's own time stamp, not its whole second.
    EXPECT_EQ(r.session.EventIndex(), 0);
    EXPECT_EQ(r.session.ReplayTime(), 10.5);
    EXPECT_EQ(r.session.FindPlayerState(3)->TKs, 101);
    EXPECT_FALSE(r.session.Ended());
    r.Ticks(1);
    EXPECT_EQ(r.session.EventIndex(), 0);
    EXPECT_EQ(r.session.FindPlayerState(3)->TKs, 202);

    r.session.SetSettings(DefaultSettings());
    r.Ticks(1);
    EXPECT_EQ(r.session.EventIndex(), 101);
    EXPECT_EQ(r.session.FindPlayerState(3)->TKs, 303);
}

TEST(SessionAnimation, AMarkerMovesInProportionBetweenTwoEventsOrJumpsWithoutAnimation)
{
    const std::string log =
        Log(Round(Ev("spawnEvent", "10", 3, "100/0/200", {{"team", "1"}}) + Ev("pickupKit", "20", 3, "200/0/100") +
                  TeamKills({"30", "31", "32"}, 5))); // another player keeps the round going
    TSessionReplay r(log);
    r.Select(0);
    const TMarker& marker = r.session.FindPlayerState(3)->Image;
    EXPECT_EQ(marker.Left, MapX(100) - HalfStandIn);
    EXPECT_EQ(marker.Top, MapY(200) - HalfStandIn);
    // From (cx, cy) at 10 s to (gx, gy) at 20 s: 100 tenths; `remaining` tenths to go.
    auto expect = [&](int remaining) {
        const double x = MapX(200) - (MapX(200) - MapX(100)) / 100.0 * remaining;
        const double y = MapY(100) - (MapY(100) - MapY(200)) / 100.0 * remaining;
        EXPECT_EQ(marker.Left, std::lround(x) - HalfStandIn) << remaining;
        EXPECT_EQ(marker.Top, std::lround(y) - HalfStandIn) << remaining;
    };
    r.Ticks(1);
    expect(99);
    r.Ticks(49);
    expect(50);
    EXPECT_EQ(marker.Left, 290);

    TSessionReplay still(log);
    TReplaySettings jumping = DefaultSettings();
    jumping.animate = false;
    still.session.SetSettings(jumping);
    still.Select(0);
    const TMarker& jumper = still.session.FindPlayerState(3)->Image;
    still.Ticks(50);
    EXPECT_EQ(jumper.Left, MapX(100) - HalfStandIn);
    EXPECT_EQ(jumper.Top, MapY(200) - HalfStandIn);
    while (still.session.EventIndex() < 1)
        still.Ticks(1);
    EXPECT_EQ(jumper.Left, MapX(200) - HalfStandIn);
    EXPECT_EQ(jumper.Top, MapY(100) - HalfStandIn);
}

TEST(SessionSeek, AnyMomentForwardOrBackIsTheStateOfAsManyTicks)
{
    TSeparatorScope point('.');
    TSessionReplay seeking(SeekTestLog(), true);
    seeking.Select(0);
    const double start = seeking.session.RoundStartTime();
    for (const double t : {start + 95.35, start + 40, start + 41.5, start + 200.04, start + 1e6}) {
        seeking.Seek(t);
        TSessionReplay ticking(SeekTestLog(), true);
        ticking.Select(0);
        ticking.Ticks(seeking.session.Ticks());
        EXPECT_EQ(seeking.State(), ticking.State()) << t - start;
    }
    EXPECT_TRUE(seeking.session.Ended());
}

TEST(SessionSeek, BackStartsTheRoundAgainAndForwardGoesOnFromTheTicks)
{
    TSessionReplay r(FightLog());
    r.Select(0);
    TickTo(r, 21);
    ASSERT_EQ(r.scoreLog.size(), 2u);
    r.Seek(12);
    EXPECT_TRUE(r.report.restarted);
    EXPECT_TRUE(r.scoreLog.empty());
    EXPECT_FALSE(r.session.FindPlayerState(3)->Dead);
    EXPECT_GE(r.session.ReplayTime(), 12);
    EXPECT_LT(r.session.ReplayTime(), 12.11);
    r.Seek(25);
    EXPECT_FALSE(r.report.restarted); // on from where the ticks stand
    EXPECT_EQ(r.scoreLog.size(), 2u);
    // A marker moved by a setting makes the next seek start again.
    TReplaySettings moved = DefaultSettings();
    moved.left = 7;
    r.session.SetSettings(moved);
    r.session.AnimateMarkers();
    r.Take();
    r.Seek(30);
    EXPECT_TRUE(r.report.restarted);
}

TEST(SessionKillSteps, ThreeSecondsBeforeTheNextOrPreviousKill)
{
    TSessionReplay r(FightLog());
    EXPECT_EQ(r.session.NextKillSeekTime(), std::nullopt); // no round yet
    r.Select(0);
    EXPECT_EQ(r.session.NextKillSeekTime(), 17);
    EXPECT_EQ(r.session.PreviousKillSeekTime(), std::nullopt);
    r.Seek(18);
    // The team kill at 55 s is no kill to step to.
    EXPECT_EQ(r.session.NextKillSeekTime(), std::nullopt);
    EXPECT_EQ(r.session.PreviousKillSeekTime(), 17);
}

TEST(SessionScoreRows, RowsJoinSortedBySideAndASideChangeMovesAsTheScoreboardMovesIt)
{
    // Anna and Carl for the Axis, Bert for the Allies; at 20 s Carl changes side.
    const std::string events = Ev("spawnEvent", "10", 3, "100/0/100", {{"team", "1"}}) +
                               Ev("spawnEvent", "10", 5, "130/0/100", {{"team", "2"}}) +
                               Ev("spawnEvent", "10", 7, "160/0/100", {{"team", "1"}}) +
                               Ev("spawnEvent", "20", 7, "160/0/100", {{"team", "2"}}) +
                               Ev("pickupKit", "30", 3, "100/0/100") + Ev("pickupKit", "40", 3, "100/0/100") +
                               Ev("pickupKit", "50", 3, "100/0/100");
    TSessionReplay r(Log(Round(events)));
    r.Select(0);
    EXPECT_TRUE(r.session.ScoreRows().empty()); // rows come with the first tick
    r.Ticks(1);
    EXPECT_EQ(r.Names(), (std::vector<std::string>{"Bert", "Anna", "Carl"}));
    const uint64_t version = r.session.ScoreRowsVersion();
    r.Ticks(5);
    EXPECT_EQ(r.session.ScoreRowsVersion(), version);
    // Carl goes to the top of his new side: a binary search of the rows finds that place,
    // not a stable sort, as the scoreboard widget does.
    TickTo(r, 20.05);
    EXPECT_EQ(r.Names(), (std::vector<std::string>{"Carl", "Bert", "Anna"}));
    EXPECT_FALSE(r.session.ScoreRows()[0].axis);
    EXPECT_NE(r.session.ScoreRowsVersion(), version);

    // A seek there leaves the same order.
    TSessionReplay seeking(Log(Round(events)));
    seeking.Select(0);
    seeking.Seek(20.05);
    EXPECT_EQ(seeking.Names(), r.Names());
}

TEST(SessionOverlays, KeptInWorldPlacesAndDrawnWhereTheCalibrationOfTheMomentPutsThem)
{
    TSessionReplay r(FightLog());
    r.Select(0);
    TickTo(r, 20.05);
    const TOverlayHistory& h = r.session.Overlays();
    ASSERT_EQ(h.Deaths().size(), 1u);
    const TDeathMark& death = h.Deaths().begin()->second;
    EXPECT_EQ(death.x, 115);
    EXPECT_EQ(death.z, 100);
    EXPECT_EQ(death.team, 1);
    EXPECT_EQ(r.session.Placing().Place(death.x, death.z), QPoint(MapX(115), MapY(100)));

    // Recalibrated mid-round, Bert's trail still ends under his marker.
    auto markerCentre = [&r] {
        const TInfoClass& bert = *r.session.FindPlayerState(5);
        return QPoint(bert.Image.Left + bert.Image.Width / 2, bert.Image.Top + bert.Image.Height / 2);
    };
    const TTrailPoint& last = h.Trail(5)->back();
    EXPECT_EQ(r.session.Placing().Place(last.x, last.z), markerCentre());
    TReplaySettings moved = DefaultSettings();
    moved.left = 10;
    moved.top = -4;
    moved.scaleX = 600;
    moved.scaleY = 700;
    r.session.SetSettings(moved);
    r.session.AnimateMarkers();
    EXPECT_EQ(r.session.Placing().Place(last.x, last.z), markerCentre());
    EXPECT_EQ(r.session.Placing().Place(death.x, death.z), QPoint(69 + 10, 105 - 70 - 4));
    // Beyond what a pixel can be, nothing.
    EXPECT_EQ(r.session.Placing().Place(1e12, 0), std::nullopt);
}
