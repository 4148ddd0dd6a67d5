#include "LogGen.h"
#include "TestPaths.h"
#include "TestUtil.h"
#include "log/LogFile.h"
#include "log/PlayerIdentity.h"
#include "log/PlayerList.h"
#include "log/RoundIndex.h"
#include "replay/LogText.h"
#include "xmltree/wexXMLTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using namespace replaylog;

namespace {

std::string Create(const std::string& time, int id, const std::string& name)
{
    return Ev("createPlayer", time, id, "", {{"name", name}});
}
std::string Destroy(const std::string& time, int id) { return Ev("destroyPlayer", time, id, ""); }
std::string Hash(const std::string& time, int id, const std::string& hash)
{
    return Ev("playerKeyHash", time, id, "", {{"keyhash", hash}});
}
std::string Rename(const std::string& time, int id, const std::string& name)
{
    return Ev("changePlayerName", time, id, "", {{"name", name}});
}

const std::string HashA = "0123456789abcdef0123456789ABCDEF";
const std::string HashB = "ffffffffffffffffffffffffffffffff";

struct PlayerIdentityTest : ::testing::Test {
    TwexXMLTree tree{"ROOT", "", nullptr};
    TSeparatorScope point{'.'};

    std::vector<TPlayerIdentity> Identities(const std::string& body)
    {
        tree.LoadFromText("<?xml version=\"1.0\"?><bf:log>" + body + "</bf:log>");
        return PlayerIdentities(tree);
    }
};

using TNames = std::vector<std::string>;
using TStays = std::vector<TPlayerStay>;

} // namespace

TEST_F(PlayerIdentityTest, KeyHashTiesStaysAcrossIdsAndNames)
{
    // Anna joins as 3, is renamed, leaves, and comes back as 9 under a third name in the next
    // round; Bert keeps id 5 throughout. Events outside the rounds count in the log's order.
    const auto ids = Identities(
        "<bf:round>" + Create("1", 3, "Anna") + Hash("1", 3, HashA) + Create("2", 5, "Bert") + Hash("2", 5, HashB) +
        Rename("10", 3, "Anna2") + Rename("11", 3, "Anna") + Destroy("20", 3) + "</bf:round>" + Create("30", 9, "Ann") +
        Hash("30", 9, "0123456789ABCDEF0123456789abcdef") + "<bf:round>" + Rename("40", 9, "Anna2") + "</bf:round>");
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[0].KeyHash, "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(ids[0].Names, (TNames{"Anna", "Anna2", "Ann"}));
    EXPECT_EQ(ids[0].Stays, (TStays{{3, 1}, {9, 30}}));
    EXPECT_EQ(ids[1].KeyHash, HashB);
    EXPECT_EQ(ids[1].Names, TNames{"Bert"});
    EXPECT_EQ(ids[1].Stays, (TStays{{5, 2}}));
}

TEST_F(PlayerIdentityTest, WithoutAValidHashTheNameIdentifies)
{
    // Bots have no hash; a hash that is not 32 hex digits is no hash. A hash-less stay is not
    // taken for a hashed player of the same name.
    const auto ids = Identities(Round(Create("1", 11, "Bot") + Hash("1", 3, "0123") +
                                      Hash("1", 5, "0123456789abcdef0123456789abcdeg") +
                                      Hash("1", 7, HashA + "0") + Create("2", 12, "Anna") + Hash("2", 12, HashA) +
                                      Destroy("5", 11) + Create("6", 11, "Bot") + Create("7", 13, "Bot")));
    ASSERT_EQ(ids.size(), 5u);
    EXPECT_EQ(ids[0].Names, TNames{"Anna"}); // Round's own players 3, 5, 7
    EXPECT_EQ(ids[0].KeyHash, "");
    EXPECT_EQ(ids[0].Stays, (TStays{{3, 0}}));
    EXPECT_EQ(ids[1].Names, TNames{"Bert"});
    EXPECT_EQ(ids[2].Names, TNames{"Carl"});
    EXPECT_EQ(ids[3].Names, TNames{"Bot"});
    EXPECT_EQ(ids[3].KeyHash, "");
    EXPECT_EQ(ids[3].Stays, (TStays{{11, 1}, {11, 6}, {13, 7}}));
    EXPECT_EQ(ids[4].KeyHash, "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(ids[4].Names, TNames{"Anna"});
    EXPECT_EQ(ids[4].Stays, (TStays{{12, 2}}));
}

TEST_F(PlayerIdentityTest, NamesHaveEveryEntityDecoded)
{
    const std::string body = Round(Create("1", 20, "&lt;NL&gt;Sarge &amp;") +
                                   Create("2", 21, "Steffen R<bf:nonprint>252</bf:nonprint>hl") +
                                   Rename("3", 21, "a&lt;b&gt;c"));
    const auto ids = Identities(body);
    TPlayerList roster;
    WalkLog(tree, roster, [](const std::string&, TwexXMLNode*) {});
    ASSERT_EQ(ids.size(), 5u);
    ASSERT_EQ(roster.Count(), 5);
    // The roster decodes only "&lt;" and "&gt;"; the identities are the library's, which
    // decodes them all.
    EXPECT_EQ(roster.GetPlayer(3)->PlayerName, "<NL>Sarge &amp;");
    EXPECT_EQ(ids[3].Names, TNames{"<NL>Sarge &"});
    EXPECT_EQ(ids[4].Names, (TNames{roster.GetPlayer(4)->PlayerName, "a<b>c"}));
}

TEST_F(PlayerIdentityTest, HostileEventsGiveASensibleAnswer)
{
    const std::string huge(1 << 20, 'x');
    const auto ids = Identities(
        // Events for ids no one holds, or held no longer, change nothing.
        Hash("1", 40, HashA) + Rename("1", 40, "Ghost") + Destroy("1", 41) + Create("2", 41, "Dora") +
        Destroy("3", 41) + Hash("4", 41, HashA) + Rename("4", 41, "Gone") +
        // An id given again belongs to its new player from then on.
        Create("5", 42, "Emil") + Hash("5", 42, HashA) + Create("6", 42, "Fritz") + Hash("6", 42, HashB) +
        // A second hash cannot move a stay to another player; a rename to the same name is no new name.
        Create("7", 43, "Gerd") + Hash("7", 43, HashB) + Hash("7", 43, HashA) + Rename("8", 43, "Gerd") +
        // Unreadable ids and times, missing parameters, a huge name.
        Ev("createPlayer", "x", 44, "", {{"name", "Hans"}}) + "<bf:event name=\"playerKeyHash\">" +
        "<bf:param name=\"player_id\">nine</bf:param><bf:param name=\"keyhash\">" + HashA + "</bf:param></bf:event>" +
        Ev("playerKeyHash", "9", 44, "") + Ev("changePlayerName", "9", 44, "") + Rename("9", 44, "") +
        Rename("9", 44, huge) + "<bf:event/>");
    ASSERT_EQ(ids.size(), 4u);
    EXPECT_EQ(ids[0].Names, TNames{"Dora"});
    EXPECT_EQ(ids[0].Stays, (TStays{{41, 2}}));
    EXPECT_EQ(ids[1].KeyHash, "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(ids[1].Names, TNames{"Emil"});
    EXPECT_EQ(ids[1].Stays, (TStays{{42, 5}}));
    EXPECT_EQ(ids[2].KeyHash, HashB);
    EXPECT_EQ(ids[2].Names, (TNames{"Fritz", "Gerd"}));
    EXPECT_EQ(ids[2].Stays, (TStays{{42, 6}, {43, 7}}));
    EXPECT_EQ(ids[3].Names, (TNames{"Hans", huge}));
    EXPECT_EQ(ids[3].Stays, (TStays{{44, 0}}));

    EXPECT_TRUE(Identities("").empty());
    tree.LoadFromText("<bf:log>" + Create("1", 1, "A") + "</bf:log>");
    EXPECT_TRUE(PlayerIdentities(tree).empty()); // no declaration: no log element, as for the roster
}

TEST_F(PlayerIdentityTest, DemoLogsBotsAreKnownByTheirNames)
{
    const std::string log = std::string(ORNWICK_BIN_DIR) + "/demo/demo.zxml";
    if (!std::filesystem::exists(log))
        GTEST_SKIP() << "no demo log at " << log << " (build the target demo_log)";
    LoadLogFile(log, tree);
    const auto ids = PlayerIdentities(tree);
    TPlayerList roster;
    WalkLog(tree, roster, [](const std::string&, TwexXMLNode*) {});

    // Every stay the roster has from a "createPlayer", and none of its placeholders.
    std::set<std::string> rosterNames, names;
    size_t rosterStays = 0, stays = 0;
    for (const TPlayerInfo& player : roster)
        if (player.PlayerName.rfind("Bot nr : ", 0) != 0) {
            rosterNames.insert(player.PlayerName);
            ++rosterStays;
        }
    for (const TPlayerIdentity& identity : ids) {
        EXPECT_EQ(identity.KeyHash, "");
        ASSERT_EQ(identity.Names.size(), 1u);
        EXPECT_TRUE(names.insert(identity.Names[0]).second) << identity.Names[0];
        stays += identity.Stays.size();
    }
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(names, rosterNames);
    EXPECT_EQ(stays, rosterStays);
}

TEST_F(PlayerIdentityTest, TheGeneratorsKeyHashesAndNameChangesReadBack)
{
    // What the generator writes of players followed across names and ids is what identities
    // find: every human one hash, renames as more names, come-backs as more stays of one player.
    loggen::Options options;
    options.seed = 7;
    options.players = 16;
    options.bots = 4;
    options.rounds = 3;
    options.roundTime = 600;
    options.keyhash = true;
    options.nameChanges = true;
    tree.LoadFromText(loggen::generateToString(options));
    const std::vector<TPlayerIdentity> ids = PlayerIdentities(tree);
    size_t hashed = 0, renamed = 0, returned = 0;
    std::set<std::string> hashes;
    for (const TPlayerIdentity& identity : ids) {
        if (identity.KeyHash.empty())
            continue;
        ++hashed;
        EXPECT_EQ(identity.KeyHash.size(), 32u);
        EXPECT_TRUE(hashes.insert(identity.KeyHash).second) << "one identity per hash: " << identity.KeyHash;
        renamed += identity.Names.size() > 1;
        returned += identity.Stays.size() > 1;
    }
    EXPECT_GE(hashed, 12u);
    EXPECT_GE(renamed, 1u);
    EXPECT_GE(returned, 1u);
}
