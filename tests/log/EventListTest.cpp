#include "TestUtil.h"
#include "base/Convert.h"
#include "log/EventInfo.h"
#include "xmltree/wexXMLTree.h"

#include <gtest/gtest.h>

namespace {

std::string Event(const std::string& name, const std::string& params, const std::string& time = "1.5")
{
    return "<bf:event name=\"" + name + "\" timestamp=\"" + time + "\">" + params + "</bf:event>";
}

std::string Param(const std::string& name, const std::string& value)
{
    return "<bf:param type=\"x\" name=\"" + name + "\">" + value + "</bf:param>";
}

struct EventListTest : ::testing::Test {
    TwexXMLTree tree{"ROOT", "", nullptr};
    TEventInfoList events;
    TSeparatorScope point{'.'};

    std::string Build(const std::string& roundBody)
    {
        tree.LoadFromText("<bf:round>" + roundBody + "</bf:round>");
        return MessageOf([&] { BuildEventList(*tree.FirstChild(), events); });
    }
};

} // namespace

TEST(ParseVector, SplitsCleansAndMarksMissingParts)
{
    TSeparatorScope point('.');
    auto v = ParseVector("512.5/3.25/64");
    EXPECT_EQ(v.First, 512.5);
    EXPECT_EQ(v.Second, 3.25);
    EXPECT_EQ(v.Third, 64);
    v = ParseVector("-12.5 / 3 /4e");
    EXPECT_EQ(v.First, 12.5); // signs, spaces and letters go
    EXPECT_EQ(v.Third, 4);
    v = ParseVector("100/200");
    EXPECT_EQ(v.Second, -1);
    EXPECT_EQ(v.Third, 200);
    v = ParseVector("100");
    EXPECT_EQ(v.First, -1);
    EXPECT_EQ(v.Third, 100);
    v = ParseVector("(unknown)");
    EXPECT_EQ(v.First, -1);
    EXPECT_EQ(v.Third, -1);
    EXPECT_EQ(MessageOf([] { ParseVector("1.2.3/4/5"); }), "'1.2.3' is not a valid floating point value");
    TSeparatorScope comma(',');
    EXPECT_EQ(ParseVector("1.5/2/3").First, 1.5);
    EXPECT_EQ(CleanNumber("a-1,5/"), "1,5");
    EXPECT_EQ(CleanNumber("x"), "-1");
}

// Places are read without building a string a part: read so, every text gives what cleaning
// each part as a whole and reading it gives, under any decimal separator.
TEST(ParseVector, ReadsAsCleaningEachPartWhole)
{
    auto reference = [](std::string_view text) {
        const std::string t = LocalizePoints(text);
        std::string_view rest = t;
        auto takePart = [&rest]() {
            const size_t slash = rest.find('/');
            if (slash == std::string_view::npos)
                return std::string_view();
            const std::string_view part = rest.substr(0, slash + 1);
            rest.remove_prefix(slash + 1);
            return part;
        };
        const std::string_view first = takePart();
        const std::string_view second = takePart();
        auto number = [](std::string_view part) { return std::to_string(static_cast<double>(StrToFloat(CleanNumber(part)))); };
        std::string parts = number(first); // in order: the first that fails names the failure
        parts += " " + number(second);
        return parts + " " + number(rest);
    };
    auto read = [](std::string_view text) {
        const TVectorParts p = ParseVector(text);
        return std::to_string(p.First) + " " + std::to_string(p.Second) + " " + std::to_string(p.Third);
    };
    const std::string alphabet = "0123456789./,- e(x";
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (const char separator : {'.', ',', '/', '7', ' '}) {
        TSeparatorScope scope(separator);
        for (int i = 0; i < 20000; ++i) {
            std::string text;
            const size_t length = next() >> 28;
            for (size_t c = 0; c < length; ++c)
                text += alphabet[(next() >> 16) % alphabet.size()];
            if (i % 500 == 0)
                text = std::string(70 + i % 3, '9') + "/1." + std::string(80, '5') + "/3";
            std::string expected, got;
            try {
                expected = reference(text);
            } catch (const EBaseError& e) {
                expected = e.what();
            }
            try {
                got = read(text);
            } catch (const EBaseError& e) {
                got = e.what();
            }
            ASSERT_EQ(got, expected) << "\"" << text << "\" with separator '" << separator << "'";
        }
    }
}

TEST(EventInfo, GridAndCoordinates)
{
    TEventInfo e;
    EXPECT_FALSE(e.HasCords());
    e.PosX = 999.9;
    e.PosZ = 1000;
    EXPECT_EQ(e.GetGridString(), "3:4");
    e.PosX = e.PosY = e.PosZ = -1;
    EXPECT_TRUE(e.HasCords());
    EXPECT_EQ(e.GetGridString(), "0:0");
    EXPECT_EQ(e.VictimID, -1);
    EXPECT_EQ(e.PcoID, -1);
    EXPECT_EQ(e.Team, 0);
}

TEST_F(EventListTest, ReadsEveryParameterInBothVehicleSpellings)
{
    ASSERT_EQ(Build(Event("scoreEvent",
                          Param("player_id", "3") + Param("player_id", "4") + Param("victim_id", "9") +
                              Param("score_type", "Kill") + Param("weapon", "Rifle") + Param("kit", "AxisScout") +
                              Param("team", "2") + Param("pco_id", "0") + Param("vechicle", "Jeep") +
                              Param("vehicle", "HeavyTank") + Param("vehicle_pos", "1/2/3") +
                              Param("player_location", "10.5/2/30") + Param("unknown", "x") + "<nameless>5</nameless>",
                          "12.25") +
                    Event("enterVehicle", Param("vehicle", "Truck") + Param("vechicle", "Jeep"))),
              "");
    ASSERT_EQ(events.Count(), 2);
    const TEventInfo& e = *events.GetEvent(0);
    EXPECT_EQ(e.EventName, "scoreEvent");
    EXPECT_EQ(e.Timestamp, 12.25);
    EXPECT_EQ(e.PlayerID, 4); // the later parameter wins
    EXPECT_EQ(e.VictimID, 9);
    EXPECT_EQ(e.ScoreType, "Kill");
    EXPECT_EQ(e.Weapon, "Rifle");
    EXPECT_EQ(e.Kit, "AxisScout");
    EXPECT_EQ(e.Team, 2);
    EXPECT_EQ(e.PcoID, 0);
    EXPECT_EQ(e.Vehicle, "HeavyTank");
    EXPECT_EQ(e.VehiclePos, "1/2/3");
    EXPECT_EQ(e.PlayerLocation, "10.5/2/30");
    EXPECT_EQ(e.PosX, 10.5);
    EXPECT_EQ(e.PosZ, 30);
    EXPECT_EQ(events.GetEvent(1)->Vehicle, "Jeep");
    EXPECT_EQ(MessageOf([&] { events.GetEvent(2); }), "List index out of bounds (2)");
}

TEST_F(EventListTest, DeleteFirstTakesNoneUpToAllRecords)
{
    for (int i = 0; i < 3; ++i)
        events.AddEvent()->EventName = "e" + std::to_string(i);
    EXPECT_EQ(MessageOf([&] { events.DeleteFirst(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(MessageOf([&] { events.DeleteFirst(4); }), "List index out of bounds (4)");
    EXPECT_EQ(events.Count(), 3);
    events.DeleteFirst(0);
    ASSERT_EQ(events.Count(), 3);
    events.DeleteFirst(1);
    ASSERT_EQ(events.Count(), 2);
    EXPECT_EQ(events.GetEvent(0)->EventName, "e1");
    events.DeleteFirst(events.Count());
    EXPECT_EQ(events.Count(), 0);
}

TEST_F(EventListTest, PositionsAreBorrowedFromTheSamePlayersPreviousEvent)
{
    ASSERT_EQ(Build(Event("a", Param("player_id", "1") + Param("player_location", "5/6/7")) +
                    Event("b", Param("player_id", "2") + Param("player_location", "8/8/8")) +
                    Event("c", Param("player_id", "1")) +                                // borrows 5/6/7
                    Event("d", Param("player_id", "1") + Param("player_location", "")) + // borrows too
                    Event("e", Param("player_id", "3")) +                                // nothing to borrow
                    Event("f", "") + Event("g", Param("player_location", "1/1/1")) + Event("h", "")),
              "");
    EXPECT_EQ(events.GetEvent(2)->PosX, 5);
    EXPECT_EQ(events.GetEvent(3)->PosZ, 7);
    EXPECT_EQ(events.GetEvent(4)->PosX, -1);
    EXPECT_EQ(events.GetEvent(5)->PosY, -1);
    EXPECT_EQ(events.GetEvent(7)->PosX, 1); // id -1 borrows from id -1
}

// Servers write X and Z of 0 when they know no position: such an event keeps the player where
// the previous one put them instead of sending the marker to the map's corner.
TEST_F(EventListTest, ALocationWithXAndZOfZeroIsNoLocation)
{
    ASSERT_EQ(Build(Event("spawnEvent", Param("player_id", "1") + Param("player_location", "512.5/40/610")) +
                    Event("destroyVehicle", Param("player_id", "1") + Param("player_location", "0/71.8/0")) +
                    Event("exitVehicle", Param("player_id", "1") + Param("player_location", "0/0/0")) +
                    Event("chat", Param("player_id", "2") + Param("player_location", "0/1/0")) + // none to borrow
                    Event("move", Param("player_id", "1") + Param("player_location", "0/5/12")) + // Z is a place
                    Event("move", Param("player_id", "1") + Param("player_location", "7/5/0.0"))),
              "");
    for (int i : {1, 2}) {
        const TEventInfo& e = *events.GetEvent(i);
        EXPECT_EQ(e.PosX, 512.5) << i;
        EXPECT_EQ(e.PosY, 40) << i;
        EXPECT_EQ(e.PosZ, 610) << i;
        EXPECT_TRUE(e.HasCords());
    }
    EXPECT_EQ(events.GetEvent(1)->PlayerLocation, "0/71.8/0"); // the record keeps what the log says
    EXPECT_EQ(events.GetEvent(3)->PosX, -1); // as an event without a location
    EXPECT_EQ(events.GetEvent(3)->PosZ, -1);
    EXPECT_EQ(events.GetEvent(4)->PosZ, 12);
    EXPECT_EQ(events.GetEvent(4)->PosX, 0);
    EXPECT_EQ(events.GetEvent(5)->PosX, 7);
    // What the fit of a round counts as places on the map.
    EXPECT_TRUE(events.GetEvent(1)->HasPlace());
    EXPECT_FALSE(events.GetEvent(3)->HasPlace());
    EXPECT_TRUE(events.GetEvent(4)->HasPlace());
}

TEST_F(EventListTest, OnlyEventsAfterTheLastRoundInitStay)
{
    std::string body = "<bf:server/>";
    for (int i = 0; i < 40; ++i)
        body += Event(i == 2 || i == 9 ? "roundInit" : "x" + std::to_string(i),
                      i == 5 ? Param("player_id", "7") + Param("player_location", "4/4/4") : Param("player_id", "7"));
    ASSERT_EQ(Build(body), "");
    ASSERT_EQ(events.Count(), 30);
    EXPECT_EQ(events.GetEvent(0)->EventName, "x10");
    EXPECT_EQ(events.GetEvent(0)->PosX, 4); // borrowed from an event that was trimmed away
    ASSERT_EQ(Build(Event("roundInit", "")), "");
    EXPECT_EQ(events.Count(), 0);
}

TEST_F(EventListTest, EventsWithoutNameOrTimeStayAndErrorsKeepTheRecordsSoFar)
{
    ASSERT_EQ(Build("<bf:event/><bf:event timestamp=\"3\"></bf:event><bf:event name=\"roundInit\"></bf:event>"
                    "<bf:event name=\"x\"></bf:event>"),
              "");
    ASSERT_EQ(events.Count(), 1);
    EXPECT_EQ(events.GetEvent(0)->Timestamp, 0);

    EXPECT_EQ(Build(Event("roundInit", "") + Event("a", "") + Event("b", Param("team", "two"))),
              "Could not convert variant of type (String) into type (Integer)");
    EXPECT_EQ(events.Count(), 3); // the failing record is in, and nothing was trimmed
    EXPECT_EQ(Build(Event("a", "", "1,5")), "'1,5' is not a valid floating point value");
    EXPECT_EQ(Build(Event("a", Param("player_location", "1/2.2.2/3"))), "'2.2.2' is not a valid floating point value");
}
