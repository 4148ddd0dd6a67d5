// A log opened without the window: the round list with each item's element, the roster, the
// events of an item, and what a failure keeps.
#include "LogGen.h"
#include "TestUtil.h"
#include "log/EventInfo.h"
#include "log/OpenedLog.h"
#include "xmltree/wexXMLTree.h"

#include <gtest/gtest.h>

TEST(OpenedLog, ListsTheRoundsOfAGeneratedLogWithTheirElementsAndEvents)
{
    TSeparatorScope point('.');
    loggen::Options options;
    options.seed = 7;
    options.players = 10;
    options.rounds = 3;
    options.roundTime = 120;
    options.map = "bramble_bay";
    TTempDir dir;
    const std::string file = dir.Write("log.xml", loggen::generateToString(options));
    TOpenedLog log;
    log.Open(file);
    // The last round still runs when the log ends: without the server's table it is not listed.
    ASSERT_EQ(log.Rounds().size(), 2u);
    std::vector<double> starts;
    for (int i = 0; i < 2; ++i) {
        const TLogRound& round = log.Rounds()[static_cast<size_t>(i)];
        EXPECT_EQ(round.Text.rfind("bramble_bay  Axis ", 0), 0u) << round.Text;
        EXPECT_EQ(log.Round(i), round.Node);
        EXPECT_EQ(round.Node->Name(), "bf:round");
        TEventInfoList events;
        log.BuildRoundEvents(i, events);
        ASSERT_GT(events.Count(), 0);
        starts.push_back(events.GetEvent(0)->Timestamp);
    }
    // Each item carries its own round: the rounds follow each other in the log.
    EXPECT_LT(starts[0], starts[1]);
    EXPECT_GE(log.Roster().Count(), 10);
    EXPECT_EQ(MessageOf([&] { log.Round(2); }), "List index out of bounds (2)");
    EXPECT_EQ(MessageOf([&] { log.Round(-1); }), "List index out of bounds (-1)");

    // Another log replaces the first.
    log.Open(dir.Write("empty.xml", "<?xml version=\"1.0\"?><bf:log></bf:log>"));
    EXPECT_TRUE(log.Rounds().empty());
    EXPECT_EQ(log.Roster().Count(), 0);
}

TEST(OpenedLog, AFailureKeepsWhatWasFoundBeforeIt)
{
    TSeparatorScope point('.');
    TTempDir dir;
    std::string fillers;
    for (int i = 0; i < 21; ++i)
        fillers += "<bf:x/>";
    const auto round = [&](const std::string& map, const std::string& extra) {
        return "<bf:round><bf:server><bf:setting name=\"map\">" + map + "</bf:setting></bf:server>" + extra + fillers +
               "<bf:roundstats><bf:teamtickets team=\"1\">1</bf:teamtickets></bf:roundstats></bf:round>";
    };
    const std::string bad = "<bf:event name=\"createPlayer\" timestamp=\"9\"><bf:param name=\"player_id\">x</bf:param>"
                            "</bf:event>";
    TOpenedLog log;
    const std::string file =
        dir.Write("bad.xml", "<?xml version=\"1.0\"?><bf:log>" + round("a", "") + round("b", bad) + "</bf:log>");
    EXPECT_EQ(MessageOf([&] { log.Open(file); }), "Could not convert variant of type (String) into type (Integer)");
    ASSERT_EQ(log.Rounds().size(), 2u);
    EXPECT_EQ(log.Rounds()[1].Text, "b  Axis 1 Alies");
    EXPECT_EQ(log.Roster().Count(), 1);

    const std::string missing = dir.Path("missing.xml");
    EXPECT_EQ(MessageOf([&] { log.Open(missing); }), "Cannot open file " + missing);
    EXPECT_TRUE(log.Rounds().empty());
}
