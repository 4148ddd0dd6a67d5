// Opening a log lists its rounds and builds the roster, on the real window and through the
// headless tool that drives it.
#include "WindowTestUtil.h"
#include "ToolRun.h"
#include "app/OpenDialog.h"

#include <QListWidget>

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::string Round(const std::string& map, const std::string& axis, const std::string& allies, const std::string& events)
{
    std::string round = "<bf:round><bf:server><bf:setting name=\"map\">" + map + "</bf:setting></bf:server>" + events;
    for (int i = 0; i < 20; ++i)
        round += "<bf:event name=\"pickupKit\" timestamp=\"5\"/>";
    return round + "<bf:roundstats><bf:teamtickets team=\"1\">" + axis + "</bf:teamtickets><bf:teamtickets team=\"2\">" +
           allies + "</bf:teamtickets></bf:roundstats></bf:round>";
}

const std::string Player = "<bf:event name=\"createPlayer\" timestamp=\"1.5\"><bf:param name=\"player_id\">3</bf:param>"
                           "<bf:param name=\"name\">&lt;NL&gt;\xE9</bf:param></bf:event>";
const std::string Spawn = "<bf:event name=\"spawnEvent\" timestamp=\"2.25\"><bf:param name=\"player_id\">3</bf:param>"
                          "<bf:param name=\"player_location\">10.5/2/30</bf:param><bf:param name=\"kit\">AxisScout</bf:param></bf:event>";
const std::string BadPlayer = "<bf:event name=\"createPlayer\" timestamp=\"9\"><bf:param name=\"player_id\">x</bf:param></bf:event>";

std::string Log(const std::string& rounds) { return "<?xml version=\"1.0\"?>\n<bf:log>" + rounds + "</bf:log>"; }

TToolRun Ornwick(std::vector<std::string> args) { return RunOrnwickTool(std::move(args)); }

} // namespace

TEST(RoundList, OpenLogListsRoundsWithTheirElements)
{
    TSeparatorScope point('.');
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    window.OpenLog(home.Dir.Write("log.xml", Log(Round("berlin", "0", "37", Player + Spawn) +
                                                                 Round("bay", "4", "5", ""))));
    ASSERT_EQ(window.ListBox1->count(), 2);
    EXPECT_EQ(window.ListBox1->item(0)->text(), QStringLiteral("berlin  Axis 0 Alies37"));
    EXPECT_TRUE(window.ListBox1->toolTip().isEmpty());
    TwexXMLNode* first = window.RoundOfItem(0);
    EXPECT_EQ(first->Name(), "bf:round");
    EXPECT_EQ(first->ChildByIndex(0)->Name(), "bf:server");
    EXPECT_EQ(MessageOf([&] { window.RoundOfItem(2); }), "List index out of bounds (2)");
    ASSERT_EQ(window.Roster().Count(), 1);
    EXPECT_EQ(window.Roster().GetPlayer(0)->PlayerName, "<NL>\xE9");

    TTarvelMainTest::RoundNode(window) = first;
    window.BuildEventList();
    EXPECT_EQ(window.Events().Count(), 22);
    EXPECT_EQ(window.Events().GetEvent(1)->Kit, "AxisScout");

    // A failure part-way keeps what was listed before it; the next log replaces it all.
    EXPECT_EQ(MessageOf([&] { window.OpenLog(home.Dir.Write("bad.xml", Log(Round("a", "1", "1", "") + Round("b", "2", "2", BadPlayer)))); }), "Could not convert variant of type (String) into type (Integer)");
    EXPECT_EQ(window.ListBox1->count(), 2);
    EXPECT_EQ(window.Events().Count(), 0);
}

TEST(RoundList, HeadlessCommandsPrintWhatTheWindowHolds)
{
    TSeparatorScope point('.');
    TTempDir dir;
    const std::string log = dir.Write("log.xml", Log(Round("berlin", "0", "37", Player + Spawn)));
    EXPECT_EQ(Ornwick({"rounds", log}).out, "berlin  Axis 0 Alies37\n");
    EXPECT_EQ(Ornwick({"roster", log}).out, "{\"join\":1.5,\"leave\":1000000,\"id\":3,\"name\":\"<NL>\xC3\xA9\"}\n");

    const TToolRun events = Ornwick({"events", log, "0"});
    EXPECT_EQ(events.status, 0);
    std::istringstream lines(events.out);
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line);
    EXPECT_EQ(line, "{\"EventName\":\"spawnEvent\",\"Timestamp\":2.25,\"PlayerID\":3,\"VictimID\":-1,\"Team\":0,"
                    "\"PcoID\":-1,\"PlayerLocation\":\"10.5/2/30\",\"PosX\":10.5,\"PosY\":2,\"PosZ\":30,"
                    "\"VehiclePos\":\"\",\"ScoreType\":\"\",\"Weapon\":\"\",\"Vehicle\":\"\",\"Kit\":\"AxisScout\","
                    "\"Grid\":\"0:0\",\"HasCords\":true}");

    const TToolRun noItem = Ornwick({"events", log, "1"});
    EXPECT_EQ(noItem.status, 2);
    EXPECT_EQ(noItem.err, "ornwick: no round 1: the log lists one round, 0 (see ornwick rounds LOG)\n");

    // On a failure: the items and entries made before it, then the message alone.
    const std::string bad = dir.Write("bad.xml", Log(Round("a", "1", "1", "") + Round("b", "2", "2", BadPlayer)));
    const TToolRun rounds = Ornwick({"rounds", bad});
    EXPECT_EQ(rounds.status, 1);
    EXPECT_EQ(rounds.out, "a  Axis 1 Alies1\nb  Axis 2 Alies2\n");
    EXPECT_EQ(rounds.err, "Could not convert variant of type (String) into type (Integer)\n");
    const TToolRun roster = Ornwick({"roster", bad});
    EXPECT_EQ(roster.out, "{\"join\":9,\"leave\":1000000,\"id\":0,\"name\":\"\"}\n");
}
