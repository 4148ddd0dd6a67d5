// The server's round statistics: names joined from their pieces and character codes, entity
// references, the columns the players carry, a round without statistics, the replay's counts
// beside them and the JSON of the stats command.
#include "TestUtil.h"
#include "SessionReplay.h"
#include "base/Errors.h"
#include "log/EventInfo.h"
#include "log/PlayerList.h"
#include "replay/RoundStats.h"
#include "xmltree/ElementContent.h"
#include "xmltree/wexXMLTree.h"

#include <gtest/gtest.h>

namespace {

std::string Param(const std::string& name, const std::string& value)
{
    return "<bf:statparam name=\"" + name + "\">" + value + "</bf:statparam>";
}

// Two rounds: the first with the server's table, the second without.
const std::string LogText =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<bf:log>\n"
    "<bf:round><bf:event name=\"roundInit\" timestamp=\"1\"/>"
    "<bf:roundstats timestamp=\"812.50\">\n"
    "  <bf:winningteam>2</bf:winningteam><bf:victorytype>3</bf:victorytype>\n"
    "  <bf:teamtickets team=\"1\">0</bf:teamtickets><bf:teamtickets team=\"2\">37</bf:teamtickets>\n"
    "  <bf:playerstat playerid=\"7\">" +
    Param("player_name", "Steffen R<bf:nonprint>252</bf:nonprint>hl") + Param("team", "1") + Param("score", "12") +
    Param("kills", "5") + Param("deaths", "3") + Param("tks", "0") +
    "</bf:playerstat>\n"
    "  <bf:playerstat playerid=\"12\">" +
    Param("player_name", "&lt;NL&gt;Sarge &amp; <bf:nonprint>163</bf:nonprint><bf:nonprint>9</bf:nonprint>") +
    Param("team", "2") + Param("score", "-2") + Param("kills", "0") + Param("deaths", "1") + Param("tks", "1") +
    Param("ping", "fast") +
    "</bf:playerstat>\n"
    "  <bf:playerstat playerid=\"x\">" +
    Param("player_name", "1.5") + Param("score", "007") +
    "</bf:playerstat>\n"
    "</bf:roundstats></bf:round>\n"
    "<bf:round><bf:event name=\"roundInit\" timestamp=\"900\"/></bf:round>\n"
    "</bf:log>";

struct TLoaded {
    TLoaded()
    {
        tree.LoadFromText(LogText);
        const TwexXMLNode* log = tree.FirstChild()->FirstChild();
        withStats = log->ChildByIndex(0);
        withoutStats = log->ChildByIndex(1);
    }
    TSeparatorScope comma{','}; // names that look like numbers are not localised
    TwexXMLTree tree{"ROOT", "", nullptr};
    const TwexXMLNode* withStats = nullptr;
    const TwexXMLNode* withoutStats = nullptr;
};

} // namespace

TEST(RoundStats, NamesJoinTheirPiecesCodesAndEntities)
{
    TLoaded log;
    const TRoundStats stats = ReadRoundStats(log.tree, *log.withStats);
    ASSERT_TRUE(stats.present);
    ASSERT_EQ(stats.players.size(), 3u);
    EXPECT_EQ(stats.players[0].Field("player_name"), "Steffen R\xFChl");
    EXPECT_EQ(stats.players[1].Field("player_name"), "<NL>Sarge &\xA3\t");
    EXPECT_EQ(stats.players[2].Field("player_name"), "1.5");
    // The tree alone keeps only the last piece: the table reads the pieces.
    const TwexXMLNode* name = log.withStats->SelectNode("bf:roundstats")->ChildByIndex(4)->ChildByIndex(0);
    EXPECT_EQ(name->Value(), "hl");

    EXPECT_EQ(DecodeEntities("a&lt;b&gt;c&amp;&quot;&apos;&#65;&#x42;"), "a<b>c&\"'AB");
    EXPECT_EQ(DecodeEntities("&nbsp; &#300; & &;"), "&nbsp; &#300; & &;"); // left as written
}

TEST(RoundStats, TheRoundAndEachPlayersFieldsInTheServersOrder)
{
    TLoaded log;
    const TRoundStats stats = ReadRoundStats(log.tree, *log.withStats);
    EXPECT_EQ(stats.timestamp, "812.50");
    EXPECT_EQ(stats.winningTeam, "2");
    EXPECT_EQ(stats.victoryType, "3");
    EXPECT_EQ(stats.tickets, (std::vector<std::pair<std::string, std::string>>{{"1", "0"}, {"2", "37"}}));
    EXPECT_EQ(stats.columns, (std::vector<std::string>{"player_name", "team", "score", "kills", "deaths", "tks", "ping"}));
    EXPECT_EQ(stats.players[1].playerID, "12");
    EXPECT_EQ(stats.players[1].ID(), 12);
    EXPECT_EQ(stats.players[2].ID(), std::nullopt);
    EXPECT_EQ(stats.players[1].Field("ping"), "fast");
    EXPECT_EQ(stats.players[0].Field("ping"), "");
    // Numbers sort as numbers; a column with one word in it, or names, as text.
    const std::unordered_map<std::string, bool> numeric = stats.NumericColumns();
    EXPECT_TRUE(numeric.at("kills"));
    EXPECT_FALSE(numeric.at("score")); // "007" is no number as JSON writes them
    EXPECT_FALSE(numeric.at("ping"));
    EXPECT_FALSE(numeric.at("player_name"));
    EXPECT_FALSE(numeric.at("playerid"));

    const TRoundStats none = ReadRoundStats(log.tree, *log.withoutStats);
    EXPECT_FALSE(none.present);
    EXPECT_TRUE(none.players.empty());
    EXPECT_EQ(RoundStatsJson(none, {}), (std::vector<std::string>{"{\"stats\":false}"}));
}

TEST(RoundStats, ReplayCountsFollowTheRulesEventsAreAppliedBy)
{
    TEventInfoList events;
    auto add = [&](const char* name, int id, const char* type = "", double x = 5, int victim = -1) {
        TEventInfo& e = *events.AddEvent();
        e.EventName = name;
        e.PlayerID = id;
        e.ScoreType = type;
        e.PosX = x;
        e.VictimID = victim;
    };
    add("scoreEvent", 7, "Kill"); // no victim state: the kill counts, then the event raises
    add("scoreEvent", 7, "Kill");
    add("scoreEvent", 7, "TK");
    add("scoreEvent", 7, "Death");
    add("scoreEvent", 7, "DeathNoMsg");
    add("scoreEvent", 7, "Attack");
    add("scoreEvent", 7, "Kill", 0); // no place: never reaches the player
    add("scoreEvent", -1, "Kill");
    add("spawnEvent", 9);
    add("scoreEvent", 12, "Kill");
    add("destroyPlayer", 12, "", 0); // left: a new state starts from nothing
    add("scoreEvent", 12, "Death");
    // 20's next death names no killer the roster can hold: the replay ends 20's events where
    // it looks that killer up, so the death does not count.
    add("spawnEvent", 20);
    add("scoreEvent", 20, "Death");
    add("scoreEvent", -1, "Kill", 5, 20);
    TPlayerList roster;
    const auto counts = ReplayCounts(events, roster);
    EXPECT_EQ(counts.at(7).kills, 2);
    EXPECT_EQ(counts.at(7).tks, 1);
    EXPECT_EQ(counts.at(7).deaths, 2);
    EXPECT_EQ(counts.at(9).kills + counts.at(9).deaths, 0); // a state, nothing counted
    EXPECT_EQ(counts.at(12).kills, 0);
    EXPECT_EQ(counts.at(12).deaths, 1);
    EXPECT_EQ(counts.at(20).deaths, 0);
    EXPECT_EQ(counts.count(-1), 0u);
    EXPECT_EQ(roster.Count(), 0); // the placeholders went to a copy

    // Lent to the replay rather than copied, the events give the same counts and come back as
    // they were, also when the reader raises.
    std::vector<const TEventInfo*> lentOut;
    for (const TEventInfo& e : events)
        lentOut.push_back(&e);
    std::unordered_map<int32_t, TReplayCounts> lent;
    ReplayWholeRound(events, roster, [&lent](const TReplaySession& session) { lent = CountsOf(session.PlayerStates()); });
    ASSERT_EQ(lent.size(), counts.size());
    for (const auto& [id, count] : counts) {
        EXPECT_EQ(lent.at(id).kills, count.kills) << id;
        EXPECT_EQ(lent.at(id).deaths, count.deaths) << id;
        EXPECT_EQ(lent.at(id).tks, count.tks) << id;
    }
    EXPECT_THROW(ReplayWholeRound(events, roster, [](const TReplaySession&) { throw EBaseError("read"); }), EBaseError);
    std::vector<const TEventInfo*> back;
    for (const TEventInfo& e : events)
        back.push_back(&e);
    EXPECT_EQ(back, lentOut);
    EXPECT_EQ(roster.Count(), 0);

    TLoaded log;
    const std::vector<std::string> json = RoundStatsJson(ReadRoundStats(log.tree, *log.withStats), counts);
    ASSERT_EQ(json.size(), 4u);
    EXPECT_EQ(json[0], "{\"stats\":true,\"timestamp\":812.50,\"winningteam\":2,\"victorytype\":3,"
                       "\"tickets\":{\"1\":0,\"2\":37},\"players\":3}");
    EXPECT_EQ(json[1], "{\"playerid\":\"7\",\"player_name\":\"Steffen R\xC3\xBChl\",\"team\":1,\"score\":\"12\","
                       "\"kills\":5,\"deaths\":3,\"tks\":0,\"replay\":{\"kills\":2,\"deaths\":2,\"tks\":1}}");
    EXPECT_NE(json[2].find("\"ping\":\"fast\",\"replay\":{\"kills\":0,\"deaths\":1,\"tks\":0}}"), std::string::npos);
    EXPECT_NE(json[3].find("\"score\":\"007\",\"replay\":null}"), std::string::npos); // no such id
}

// The counts are those the scoreboard shows once the clock has run the round to its end.
TEST(RoundStats, ReplayCountsAreTheStatesTheClockLeaves)
{
    using namespace replaylog;
    TSeparatorScope comma{','};
    // Bert's death is followed by a kill of Bert that names no killer: the replay stops
    // Bert's events at that look-up, so Bert dies on the map but not on the scoreboard.
    TSessionReplay replay(Log(Round(Ev("spawnEvent", "10", 3, "100/0/100", {{"team", "1"}, {"kit", "Rifle"}}) +
                                    Ev("spawnEvent", "10", 5, "200/0/100", {{"team", "2"}, {"kit", "Rifle"}}) +
                                    Score("20", 3, "110/0/100", "Kill", {{"victim_id", "7"}}) +
                                    Score("30", 5, "200/0/100", "Death") + Score("30", -1, "", "Kill", {{"victim_id", "5"}}) +
                                    Score("40", 3, "120/0/100", "Kill", {{"victim_id", "5"}}) +
                                    Score("50", 7, "300/0/100", "TK") + Ev("spawnEvent", "60", 7, "300/0/100"))));
    replay.Select(0);
    const std::unordered_map<int32_t, TReplayCounts> counts = ReplayCounts(replay.session.Events(), replay.roster);
    // Anna's first kill names Carl, who has no state yet: it counts and halts the clock there,
    // until the user continues.
    for (int i = 0; i < 10 && !replay.session.Ended(); ++i) {
        try {
            replay.Ticks(100000);
        } catch (const std::exception&) {
        }
    }
    ASSERT_TRUE(replay.session.Ended());
    const std::unordered_map<int32_t, TReplayCounts> shown = CountsOf(replay.session.PlayerStates());
    ASSERT_EQ(counts.size(), shown.size());
    for (const auto& [id, count] : shown) {
        SCOPED_TRACE(id);
        ASSERT_EQ(counts.count(id), 1u);
        EXPECT_EQ(counts.at(id).kills, count.kills);
        EXPECT_EQ(counts.at(id).deaths, count.deaths);
        EXPECT_EQ(counts.at(id).tks, count.tks);
    }
    EXPECT_EQ(counts.at(3).kills, 2);
    EXPECT_EQ(counts.at(5).deaths, 0);
    EXPECT_EQ(counts.at(7).tks, 1);
}

TEST(ElementContent, PiecesInOrderFromTheTokensAndFromANodeMadeByHand)
{
    TwexXMLTree tree("ROOT", "", nullptr);
    tree.LoadFromText("<a>one<b>x</b>two<c/><d><e/>in</d>three</a><z>last</z>");
    const TwexXMLNode& a = *tree.FirstChild();
    std::vector<std::string> seen;
    for (const TElementPiece& piece : ElementContent(tree, a))
        seen.push_back(piece.child ? "<" + std::string(piece.child->Name()) + ">" : std::string(piece.text));
    EXPECT_EQ(seen, (std::vector<std::string>{"one", "<b>", "two", "<c/>", "<d>", "three"}));
    EXPECT_EQ(ElementContent(tree, *tree.ChildByIndex(1)).size(), 1u);

    TwexXMLNode hand("a", "tail", nullptr);
    ParseTag(&hand, "kid", "");
    const std::vector<TElementPiece> pieces = ElementContent(tree, hand);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].child->Name(), "kid");
    EXPECT_EQ(pieces[1].text, "tail");
}
