#include "TestUtil.h"
#include "log/PlayerList.h"
#include "log/RoundIndex.h"
#include "xmltree/wexXMLTree.h"

#include <gtest/gtest.h>

namespace {

struct TWalk {
    std::vector<std::string> items;
    std::vector<TwexXMLNode*> rounds;
    TPlayerList roster;
    std::string error;
};

std::string Event(const std::string& name, const std::string& time, const std::string& params)
{
    return "<bf:event name=\"" + name + "\"" + (time.empty() ? "" : " timestamp=\"" + time + "\"") + ">" +
           params + "</bf:event>";
}

std::string Param(const std::string& name, const std::string& value)
{
    return "<bf:param type=\"x\" name=\"" + name + "\">" + value + "</bf:param>";
}

// A round with its server settings, n filler events and, optionally, round stats.
std::string Round(const std::string& map, int fillers, const std::string& stats, const std::string& extra = "")
{
    std::string round = "<bf:round>";
    round += "<bf:server>" + (map.empty() ? std::string() : "<bf:setting name=\"map\">" + map + "</bf:setting>") +
             "<bf:setting name=\"other\">x</bf:setting></bf:server>";
    round += extra;
    for (int i = 0; i < fillers; ++i)
        round += Event("pickupKit", "1.0", "");
    round += stats;
    return round + "</bf:round>";
}

std::string Stats(const std::string& axis, const std::string& allies)
{
    return "<bf:roundstats><bf:teamtickets team=\"1\">" + axis + "</bf:teamtickets><bf:teamtickets team=\"2\">" +
           allies + "</bf:teamtickets></bf:roundstats>";
}

struct RosterTest : ::testing::Test {
    TwexXMLTree tree{"ROOT", "", nullptr};
    TSeparatorScope point{'.'};

    TWalk Walk(const std::string& body, bool declaration = true)
    {
        tree.LoadFromText((declaration ? "<?xml version=\"1.0\"?>" : "") + std::string("<bf:log>") + body + "</bf:log>");
        TWalk walk;
        walk.error = MessageOf([&] {
            WalkLog(tree, walk.roster, [&](const std::string& text, TwexXMLNode* round) {
                walk.items.push_back(text);
                walk.rounds.push_back(round);
            });
        });
        return walk;
    }
};

} // namespace

TEST_F(RosterTest, RoundsNeedServerStatsAndMoreThanTwentyChildren)
{
    // Children: server + fillers + stats. 18 fillers make 20 children, 19 make 21.
    TWalk walk = Walk(Round("berlin", 18, Stats("0", "37")) + Round("berlin", 19, Stats("0", "37")) +
                      Round("kursk", 30, "") + "<bf:round>" + std::string(25 * 3, ' ') + "</bf:round>");
    EXPECT_EQ(walk.items, std::vector<std::string>{"berlin  Axis 0 Alies37"});
    ASSERT_EQ(walk.rounds.size(), 1u);
    EXPECT_EQ(walk.rounds[0]->ChildCount(), 21);
}

TEST_F(RosterTest, MissingTextsCarryOverFromEarlierRounds)
{
    const std::string noTeam = "<bf:roundstats><bf:teamtickets>9</bf:teamtickets><bf:teamtickets team=\"3\">5</bf:teamtickets></bf:roundstats>";
    TWalk walk = Walk(Round("", 25, Stats("4", "7")) + Round("bay", 25, noTeam) +
                      Round("", 25, Stats("1", "2"), "<bf:server></bf:server>"));
    EXPECT_EQ(walk.items, (std::vector<std::string>{"  Axis 4 Alies7", "bay  Axis 4 Alies5",
                                                    "bay  Axis 1 Alies2", "bay  Axis 1 Alies2"}));
    EXPECT_EQ(walk.rounds[2], walk.rounds[3]); // two server elements list the round twice
}

TEST_F(RosterTest, TheRosterKeepsEveryStayInOrder)
{
    const std::string create1 = Event("createPlayer", "10.5", Param("player_id", "1") + Param("name", "a&lt;b&gt;c"));
    const std::string leave1 = Event("destroyPlayer", "20", Param("player_id", "1"));
    const std::string create1again = Event("createPlayer", "20", Param("player_id", "1") + Param("name", "Second"));
    const std::string ghostLeaves = Event("destroyPlayer", "30", Param("player_id", "99"));
    const std::string noIdLeaves = Event("destroyPlayer", "31", "");
    const std::string outside = Event("createPlayer", "", Param("name", "x&gt;y") + Param("player_id", "5") +
                                                         Param("player_id", "6"));
    TWalk walk = Walk(outside + Round("m", 25, Stats("1", "2"), create1 + leave1 + create1again + ghostLeaves + noIdLeaves) +
                      "<bf:round>" + Event("restartMap", "55.5", "") + "</bf:round>");
    ASSERT_EQ(walk.error, "");
    ASSERT_EQ(walk.roster.Count(), 5);
    const TPlayerInfo* p = walk.roster.GetPlayer(0);
    EXPECT_EQ(p->PlayerName, "a<b>c");
    EXPECT_EQ(p->JoinTime, 10.5);
    EXPECT_EQ(p->LeaveTime, 20); // set by its destroyPlayer
    EXPECT_EQ(walk.roster.GetPlayer(1)->LeaveTime, 55.5); // the log's end time
    EXPECT_EQ(walk.roster.GetPlayer(2)->PlayerName, "Bot nr : 99");
    EXPECT_EQ(walk.roster.GetPlayer(2)->JoinTime, 0);
    EXPECT_EQ(walk.roster.GetPlayer(2)->LeaveTime, 30);
    EXPECT_EQ(walk.roster.GetPlayer(3)->PlayerName, "Bot nr : -1");
    // Events outside the rounds come after all rounds' stays; the later id wins.
    EXPECT_EQ(walk.roster.GetPlayer(4)->PlayerName, "x>y");
    EXPECT_EQ(walk.roster.GetPlayer(4)->PlayerID, 6);
    EXPECT_EQ(walk.roster.GetPlayer(4)->JoinTime, 0);

    // Reused ids: the stay that holds the moment; on a shared bound the later stay wins.
    EXPECT_EQ(walk.roster.FindPlayerAt(1, 15)->PlayerName, "a<b>c");
    EXPECT_EQ(walk.roster.FindPlayerAt(1, 20)->PlayerName, "Second");
    EXPECT_EQ(walk.roster.FindPlayerAt(-1, 20), nullptr);
    EXPECT_EQ(walk.roster.FindPlayerAt(1, 5)->PlayerName, "Second"); // outside every stay: the latest
    EXPECT_EQ(walk.roster.FindPlayerAt(42, 5)->PlayerName, "Bot nr : 42");
    EXPECT_EQ(walk.roster.Count(), 6);
    EXPECT_EQ(MessageOf([&] { walk.roster.GetPlayer(6); }), "List index out of bounds (6)");
}

TEST_F(RosterTest, EndTimeDefaultsAndShapesThatListNothing)
{
    TWalk walk = Walk(Round("m", 25, Stats("1", "2"), Event("createPlayer", "3", Param("player_id", "2"))) + "<tail/>");
    EXPECT_EQ(walk.roster.GetPlayer(0)->LeaveTime, NoLogEndTime);
    EXPECT_TRUE(Walk(Round("m", 25, Stats("1", "2")), false).items.empty()); // no declaration
    EXPECT_TRUE(Walk("").items.empty());
}

TEST_F(RosterTest, ConversionErrorsEndTheWalkAndKeepWhatWasDone)
{
    const std::string bad = Event("createPlayer", "1", Param("player_id", "seven"));
    TWalk walk = Walk(Round("m", 25, Stats("1", "2")) + Round("n", 25, Stats("1", "2"), bad));
    EXPECT_EQ(walk.error, "Could not convert variant of type (String) into type (Integer)");
    EXPECT_EQ(walk.items.size(), 2u); // the second round was listed from its server element first
    EXPECT_EQ(walk.roster.Count(), 1); // the entry made before the failing conversion stays

    walk = Walk(Round("m", 25, Stats("1", "2"), Event("destroyPlayer", "1,5", "")));
    EXPECT_EQ(walk.error, "'1,5' is not a valid floating point value");
    TSeparatorScope comma(',');
    walk = Walk(Round("m", 25, Stats("1", "2"), Event("destroyPlayer", "1.2.3", "")));
    EXPECT_EQ(walk.error, "'1,2,3' is not a valid floating point value"); // named after replacement
}

// Lookups find the stays by id however the roster changed between them.
TEST(Roster, LookupsFollowTheStaysThroughAddsAndDeletes)
{
    TPlayerList roster;
    auto add = [&](int32_t id, double join, double leave) {
        TPlayerInfo* p = roster.AddPlayer();
        p->PlayerID = id;
        p->JoinTime = join;
        p->LeaveTime = leave;
        return p;
    };
    TPlayerInfo* first = add(5, 0, 10);
    TPlayerInfo* second = add(5, 20, 30);
    add(7, 0, 30);
    EXPECT_EQ(roster.FindPlayerAt(5, 5), first);
    EXPECT_EQ(roster.FindPlayerAt(5, 25), second);
    EXPECT_EQ(roster.FindPlayerAt(5, 15), second); // in no stay: the latest
    EXPECT_EQ(roster.FindPlayerAt(-1, 5), nullptr);
    TPlayerInfo* bot = roster.FindPlayer(9);
    EXPECT_EQ(bot->PlayerName, "Bot nr : 9");
    EXPECT_EQ(roster.FindPlayerAt(9, 1), bot);
    EXPECT_EQ(roster.Count(), 4);
    // Added after a lookup, the latest stay wins.
    TPlayerInfo* third = add(5, 40, 50);
    EXPECT_EQ(roster.FindPlayer(5), third);

    roster.DeleteFirst(1);
    EXPECT_EQ(roster.FindPlayerAt(5, 5), third);
    roster.Delete(roster.Count() - 1);
    EXPECT_EQ(roster.FindPlayer(5), second);
    roster.ClearPlayers();
    TPlayerInfo* again = add(7, 0, 1);
    EXPECT_EQ(roster.FindPlayer(7), again);
    EXPECT_EQ(roster.FindPlayer(5)->PlayerName, "Bot nr : 5");
    EXPECT_EQ(roster.Count(), 2);
}
