// What an event does, told from its name and score type: every kind the replay tells apart,
// score types it does not know, and which kinds the score log, the overlays and the counts take.
#include "log/EventInfo.h"
#include "replay/EventKind.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEventInfo Event(const std::string& name, const std::string& scoreType = "")
{
    TEventInfo e;
    e.EventName = name;
    e.ScoreType = scoreType;
    return e;
}

} // namespace

TEST(EventKind, EachNameAndScoreTypeHasItsKind)
{
    EXPECT_EQ(KindOf(Event("spawnEvent")), TEventKind::Spawn);
    EXPECT_EQ(KindOf(Event("pickupKit")), TEventKind::Kit);
    EXPECT_EQ(KindOf(Event("enterVehicle")), TEventKind::VehicleEnter);
    EXPECT_EQ(KindOf(Event("exitVehicle")), TEventKind::VehicleExit);
    EXPECT_EQ(KindOf(Event("destroyVehicle")), TEventKind::VehicleDestroy);
    EXPECT_EQ(KindOf(Event("destroyPlayer")), TEventKind::PlayerDestroyed);
    EXPECT_EQ(KindOf(Event("scoreEvent", "Kill")), TEventKind::Kill);
    EXPECT_EQ(KindOf(Event("scoreEvent", "Death")), TEventKind::Death);
    EXPECT_EQ(KindOf(Event("scoreEvent", "DeathNoMsg")), TEventKind::DeathNoMsg);
    EXPECT_EQ(KindOf(Event("scoreEvent", "TK")), TEventKind::TeamKill);
    EXPECT_EQ(KindOf(Event("scoreEvent", "Attack")), TEventKind::Attack);
    // Names and types are matched exactly, letter case included.
    EXPECT_EQ(KindOf(Event("scoreEvent", "kill")), TEventKind::OtherScore);
    EXPECT_EQ(KindOf(Event("scoreEvent")), TEventKind::OtherScore);
    EXPECT_EQ(KindOf(Event("ScoreEvent", "Kill")), TEventKind::Other);
    // A score type on another event is no score.
    EXPECT_EQ(KindOf(Event("pickupKit", "Kill")), TEventKind::Kit);
    EXPECT_EQ(KindOf(Event("createPlayer")), TEventKind::Other);
}

TEST(EventKind, TheScoreLogTellsEveryScoreButAttacksAndSilentDeaths)
{
    for (const TEventKind kind : {TEventKind::Kill, TEventKind::Death, TEventKind::TeamKill, TEventKind::OtherScore})
        EXPECT_TRUE(IsLogged(kind)) << static_cast<int>(kind);
    for (const TEventKind kind : {TEventKind::Attack, TEventKind::DeathNoMsg, TEventKind::Spawn, TEventKind::Other,
                                  TEventKind::PlayerDestroyed, TEventKind::VehicleDestroy})
        EXPECT_FALSE(IsLogged(kind)) << static_cast<int>(kind);
    EXPECT_TRUE(IsDeath(TEventKind::DeathNoMsg));
    EXPECT_FALSE(IsDeath(TEventKind::Kill));
    EXPECT_TRUE(IsKillNote(TEventKind::TeamKill));
    EXPECT_FALSE(IsKillNote(TEventKind::Death));
}

TEST(EventKind, OnlyAnEventWithAPlaceAndAPlayerReachesItsState)
{
    TEventInfo e = Event("spawnEvent");
    e.PlayerID = 4;
    EXPECT_FALSE(PlacesPlayer(e)); // at 0/0/0: no place
    e.PosY = 1;
    EXPECT_TRUE(PlacesPlayer(e));
    e.PlayerID = -1;
    EXPECT_FALSE(PlacesPlayer(e));
}
