// The replay's model: clock arithmetic, directions, the marker's recolouring, the keyed state
// list and the look-ahead index.
#include "TestUtil.h"
#include "log/EventInfo.h"
#include "replay/InfoClass.h"
#include "replay/LookAhead.h"
#include "replay/PlayerStates.h"
#include "replay/ReplayMath.h"

#include <gtest/gtest.h>

#include <random>

TEST(ReplayMath, TenthsUseExtendedPrecision)
{
    // 10.1 as a double lies just below 10.1: its tenth is 100.
    EXPECT_EQ(TenthsTrunc(10.1), 100);
    EXPECT_EQ(TenthsTrunc(10.0), 100);
    EXPECT_EQ(TenthsTrunc(10.05), 100);
    EXPECT_EQ(TenthsTrunc(-0.15), -1);
    EXPECT_EQ(TenthsRound(0.25), 2);  // 2.5 to even
    EXPECT_EQ(TenthsRound(0.35), 3);  // 0.35 lies below 0.35: 3.4999...
    EXPECT_EQ(MessageOf([] { TenthsRound(3e8); }), "Range check error");
    EXPECT_EQ(WholeSeconds(10.7), 10);
    EXPECT_EQ(WholeSeconds(-10.7), -10);
}

TEST(ReplayMath, ElapsedCaption)
{
    EXPECT_EQ(ElapsedCaption(0), "0:00");
    EXPECT_EQ(ElapsedCaption(75), "1:15");
    EXPECT_EQ(ElapsedCaption(605), "10:05");
    EXPECT_EQ(ElapsedCaption(3599), "59:59");
    EXPECT_EQ(ElapsedCaption(3600), "60:00");
    EXPECT_EQ(ElapsedCaption(-5), "0:-05");
}

TEST(ReplayMath, InterpolationInExtendedPrecision)
{
    const auto at = [](int32_t g, int32_t c, int32_t total, int32_t remaining) {
        return TCoordinateMove(g, c, total).At(remaining);
    };
    // Round(19 / 1000 x 1500) is 29 and Round(35 / 1000 x 300) is 10 only when the quotient
    // is not first cut to a double.
    EXPECT_EQ(at(0, 19, 1000, 1500), 29);
    EXPECT_EQ(at(0, 35, 1000, 300), 10);
    EXPECT_EQ(at(35, 0, 1000, 300), 24); // 35 - 10.5, to even
    // The ends of the way: all remaining is the last place, none remaining the next one.
    EXPECT_EQ(at(100, 40, 60, 60), 40);
    EXPECT_EQ(at(100, 40, 60, 0), 100);
    EXPECT_EQ(at(40, 100, 60, 30), 70);
    EXPECT_EQ(at(7, 7, 60, 30), 7);
}

TEST(ReplayModel, DirectionOfTravel)
{
    struct TCase {
        double fx, fz, tx, tz;
        TDirections expected;
    };
    const TCase cases[] = {
        {0, 0, 0, 0, TDirections::drNorth},     {0, 0, 0, 5, TDirections::drNorth},
        {0, 0, 5, 5, TDirections::drNorthEast}, {0, 0, 5, 0, TDirections::drEast},
        {0, 5, 5, 0, TDirections::drEastSouth}, {0, 5, 0, 0, TDirections::drSouth},
        {5, 5, 0, 0, TDirections::drSouthWest}, {5, 0, 0, 0, TDirections::drWest},
        {5, 0, 0, 5, TDirections::drWestNorth},
    };
    for (const TCase& c : cases) {
        TInfoClass state;
        state.CommingFrom.Assign(c.fx, 99, c.fz);
        state.GoingTo.Assign(c.tx, -99, c.tz); // the height plays no part
        state.SetDirection(TDirections::drWest);
        EXPECT_EQ(DirectionName(state.Direction()), std::string(DirectionName(c.expected)))
            << c.fx << "," << c.fz << " -> " << c.tx << "," << c.tz;
    }
}

TEST(ReplayModel, NewStateAndWriters)
{
    TInfoClass state;
    EXPECT_EQ(state.PlayerID, -1);
    EXPECT_EQ(state.PositionInvechicle, -1);
    EXPECT_EQ(state.KilledByID, 0);
    EXPECT_EQ(state.Image.Width, 105);
    EXPECT_FALSE(state.Image.HasPicture());
    state.SetFighterClass("medic");
    state.SetFighterClass("");
    EXPECT_EQ(state.FighterClass(), "medic");
    state.SetTeam(3); // no picture yet: nothing to paint, and no failure
    EXPECT_EQ(state.Team(), 3);
}

namespace {
// A marker: a black blob in the middle, a black corner apart from it, white elsewhere.
QImage Marker()
{
    QImage picture(9, 9, QImage::Format_RGB888);
    picture.fill(Qt::white);
    for (int y = 3; y <= 5; ++y)
        for (int x = 2; x <= 6; ++x)
            picture.setPixel(x, y, qRgb(0, 0, 0));
    picture.setPixel(4, 2, qRgb(0, 0, 0));
    picture.setPixel(0, 0, qRgb(0, 0, 0));
    picture.setPixel(7, 7, qRgb(0, 0, 0)); // touches the blob only diagonally
    picture.setPixel(6, 6, qRgb(0, 0, 0));
    return picture;
}
} // namespace

TEST(ReplayModel, TeamColourFillsTheCentreRegionOnly)
{
    TPlayerStateList states;
    TInfoClass& state = *states.Add("1", std::make_unique<TInfoClass>());
    states.Pictures().Show(state.Image, "marker", Marker());
    state.SetTeam(1);
    const QImage red = *states.Pictures().Painted(state.Image);
    EXPECT_EQ(red.pixel(4, 4), qRgb(255, 0, 0));
    EXPECT_EQ(red.pixel(4, 2), qRgb(255, 0, 0));
    EXPECT_EQ(red.pixel(2, 5), qRgb(255, 0, 0));
    EXPECT_EQ(red.pixel(6, 6), qRgb(255, 0, 0)); // below (6, 5): 4-connected
    EXPECT_EQ(red.pixel(7, 7), qRgb(0, 0, 0));   // diagonal only: not reached
    EXPECT_EQ(red.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(red.pixel(1, 4), qRgb(255, 255, 255));

    // Another state showing the same picture gets its own colour; the picture kept stays black.
    TInfoClass& blue = *states.Add("2", std::make_unique<TInfoClass>());
    states.Pictures().Show(blue.Image, "marker", Marker());
    blue.SetTeam(2);
    EXPECT_EQ(states.Pictures().Painted(blue.Image)->pixel(4, 4), qRgb(0, 0, 255));
    EXPECT_EQ(states.Pictures().Painted(state.Image)->pixel(4, 4), qRgb(255, 0, 0));
    // Once painted the centre is no longer black: another team changes nothing until the
    // picture is shown anew.
    blue.SetTeam(1);
    EXPECT_EQ(states.Pictures().Painted(blue.Image)->pixel(4, 4), qRgb(0, 0, 255));
    states.Pictures().Show(blue.Image, "marker", Marker());
    blue.UpdateTeamColor();
    EXPECT_EQ(states.Pictures().Painted(blue.Image)->pixel(4, 4), qRgb(255, 0, 0));
    // A picture replaced under its name is painted anew.
    QImage white(9, 9, QImage::Format_RGB888);
    white.fill(Qt::white);
    states.Pictures().Show(state.Image, "marker", white);
    state.UpdateTeamColor();
    EXPECT_EQ(states.Pictures().Painted(blue.Image)->pixel(4, 4), qRgb(255, 255, 255));
}

TEST(ReplayModel, TeamColourReadsTheCentreFromTheWidth)
{
    // A wide picture: (w div 2, w div 2) lies below the last row, so nothing is painted.
    QImage wide(10, 4, QImage::Format_RGB888);
    wide.fill(Qt::black);
    TPlayerStateList states;
    TInfoClass& state = *states.Add("1", std::make_unique<TInfoClass>());
    states.Pictures().Show(state.Image, "wide", wide);
    state.SetTeam(1);
    EXPECT_EQ(states.Pictures().Painted(state.Image)->pixel(5, 2), qRgb(0, 0, 0));
    EXPECT_EQ(state.Image.Width, 10);
    EXPECT_EQ(state.Image.Height, 4);
    // A tall one: the point (2, 2) is on the picture and the whole black picture is painted.
    QImage tall(5, 12, QImage::Format_RGB888);
    tall.fill(Qt::black);
    states.Pictures().Show(state.Image, "tall", tall);
    state.UpdateTeamColor();
    EXPECT_EQ(states.Pictures().Painted(state.Image)->pixel(4, 11), qRgb(255, 0, 0));
    // The states go, and their pictures with them.
    const TMarker shown = state.Image;
    states.Clear();
    EXPECT_EQ(states.Pictures().Painted(shown), nullptr);
}

TEST(ReplayModel, StateListKeysMatchWhole)
{
    TPlayerStateList states;
    states.Add(PlayerKey(17), std::make_unique<TInfoClass>())->PlayerID = 17;
    states.Add(PlayerKey(7), std::make_unique<TInfoClass>())->PlayerID = 7;
    states.Add(PlayerKey(-3), std::make_unique<TInfoClass>())->PlayerID = -3;
    EXPECT_EQ(states.IndexOfKey("7"), 1);
    EXPECT_EQ(states.IndexOfKey("17"), 0);
    EXPECT_EQ(states.IndexOfKey("-3"), 2);
    EXPECT_EQ(states.IndexOfKey("1"), -1);
    EXPECT_EQ(states.Find("07"), nullptr);
    states.Delete(0);
    EXPECT_EQ(states.IndexOfKey("17"), -1);
    EXPECT_EQ(states.IndexOfKey("7"), 0);
    EXPECT_EQ(states.IndexOfKey("-3"), 1);
    EXPECT_EQ(states.Find("-3")->PlayerID, -3);
    EXPECT_EQ(MessageOf([&] { states.State(2); }), "List index out of bounds (2)");
    EXPECT_EQ(MessageOf([&] { states.Delete(-1); }), "List index out of bounds (-1)");
    states.Clear();
    EXPECT_EQ(states.Find("7"), nullptr);
}

TEST(ReplayModel, LookAheadEqualsScanningTheRestOfTheRound)
{
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        TEventInfoList events;
        const int count = 1 + static_cast<int>(random() % 300);
        for (int i = 0; i < count; ++i) {
            TEventInfo& e = *events.AddEvent();
            e.PlayerID = static_cast<int32_t>(random() % 9) - 1;
            e.VictimID = static_cast<int32_t>(random() % 12) - 1;
        }
        TEventLookAhead lookAhead;
        lookAhead.Build(events);
        ASSERT_EQ(lookAhead.Size(), count);
        for (int i = 0; i < count; ++i) {
            int next = -1, death = -1;
            const int32_t id = events.GetEvent(i)->PlayerID;
            for (int j = i + 1; j < count && next < 0; ++j)
                if (events.GetEvent(j)->PlayerID == id)
                    next = j;
            for (int j = i + 1; j < count && death < 0; ++j)
                if (events.GetEvent(j)->VictimID == id)
                    death = j;
            ASSERT_EQ(lookAhead.NextOfPlayer(i), next) << "event " << i;
            ASSERT_EQ(lookAhead.NextDeath(i), death) << "event " << i;
        }
    }
}
