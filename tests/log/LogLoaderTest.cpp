// A log loaded on a worker thread ends as a load in place followed by the walk.
#include "TestUtil.h"
#include "log/LogFile.h"
#include "log/LogLoader.h"
#include "log/OpenedLog.h"
#include "LogGen.h"
#include "log/RoundIndex.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <sstream>
#include <tuple>
#include <vector>

namespace {

std::string Packed(const std::string& text) { return ZlibCompressed(text, 1); }

std::string Round(int n, const std::string& extra = "")
{
    std::string round = "<bf:round><bf:server><bf:setting name=\"map\">map" + std::to_string(n) +
                        "</bf:setting></bf:server><bf:event name=\"createPlayer\" timestamp=\"" + std::to_string(n) +
                        ".5\"><bf:param name=\"player_id\">" + std::to_string(n) +
                        "</bf:param><bf:param name=\"name\">P&lt;" + std::to_string(n) + "&gt;</bf:param></bf:event>" +
                        extra;
    for (int i = 0; i < 20; ++i)
        round += "<bf:event name=\"pickupKit\" timestamp=\"5\"/>";
    return round + "<bf:roundstats><bf:teamtickets team=\"1\">" + std::to_string(n) +
           "</bf:teamtickets></bf:roundstats></bf:round>";
}

std::string Log(const std::string& rounds) { return "<?xml version=\"1.0\"?>\n<bf:log>" + rounds + "</bf:log>"; }

using TRoster = std::vector<std::tuple<double, double, int32_t, std::string>>;
TRoster Entries(const TPlayerList& roster)
{
    TRoster entries;
    for (const TPlayerInfo& p : roster)
        entries.emplace_back(p.JoinTime, p.LeaveTime, p.PlayerID, p.PlayerName);
    return entries;
}

// What a load in place into `tree` and the walk give.
struct TInPlace {
    std::vector<std::string> rounds;
    TRoster roster;
    std::string error;
};
TInPlace LoadInPlace(const std::string& file, TwexXMLTree& tree)
{
    TInPlace result;
    TPlayerList roster;
    result.error = MessageOf([&] {
        LoadLogFile(file, tree);
        WalkLog(tree, roster, [&](const std::string& text, TwexXMLNode*) { result.rounds.push_back(text); });
    });
    result.roster = Entries(roster);
    return result;
}

// Runs a loader to its end.
void RunToEnd(TLogLoader& loader)
{
    loader.Start();
    loader.Wait();
    ASSERT_TRUE(loader.Finished());
}

std::string ErrorText(const std::exception_ptr& error)
{
    return MessageOf([&] {
        if (error)
            std::rethrow_exception(error);
    });
}

} // namespace

TEST(LogLoader, ExpectsTheTextSizeOfRegularFilesOnly)
{
    TTempDir dir;
    EXPECT_EQ(ExpectedLogTextSize(dir.Write("a.xml", std::string(1000, 'x'))), 1000u);
    EXPECT_EQ(ExpectedLogTextSize(dir.Write("a.ZXml", std::string(1000, 'x'))), 1000u * CompressedLogRatio);
    EXPECT_EQ(ExpectedLogTextSize(dir.Write("empty.xml", "")), 0u);
    EXPECT_EQ(ExpectedLogTextSize(dir.Path("missing.xml")), 0u);
    EXPECT_EQ(ExpectedLogTextSize(dir.Path("")), 0u); // the folder itself
}

TEST(LogLoader, EndsAsALoadInPlaceAndTheWalk)
{
    TTempDir dir;
    std::string rounds;
    for (int n = 1; n <= 3; ++n)
        rounds += Round(n);
    const std::string text = Log(rounds + "<bf:event name=\"destroyPlayer\" timestamp=\"9\"><bf:param "
                                          "name=\"player_id\">2</bf:param></bf:event>");
    for (const std::string& file : {dir.Write("log.xml", text), dir.Write("log.zxml", Packed(text))}) {
        SCOPED_TRACE(file);
        // A load keeps the tree's own value and flag; the loaded tree starts from the same.
        TwexXMLTree inPlace("ROOT", "kept", nullptr);
        inPlace.SetIsCData(true);
        const TInPlace expected = LoadInPlace(file, inPlace);
        ASSERT_EQ(expected.rounds.size(), 3u);

        TLogLoader loader(file, inPlace);
        RunToEnd(loader);
        EXPECT_FALSE(loader.Cancelled());
        EXPECT_FALSE(loader.LoadError);
        EXPECT_FALSE(loader.WalkError);
        EXPECT_TRUE(loader.Replaced());
        EXPECT_TRUE(loader.Status().Walking);
        EXPECT_EQ(loader.Tree->Name(), inPlace.Name());
        EXPECT_EQ(loader.Tree->Value(), "kept");
        EXPECT_TRUE(loader.Tree->IsCData());
        EXPECT_EQ(loader.Tree->Lines().ToVector(), inPlace.Lines().ToVector());
        std::vector<std::string> texts;
        for (const auto& [caption, round] : loader.Rounds) {
            texts.push_back(caption);
            // Each round is an element of the loaded tree itself.
            const TwexXMLNode* top = round;
            while (top->ParentNode())
                top = top->ParentNode();
            EXPECT_EQ(top, loader.Tree.get());
        }
        EXPECT_EQ(texts, expected.rounds);
        EXPECT_EQ(Entries(loader.Roster), expected.roster);
    }
}

TEST(LogLoader, FailsAsALoadInPlaceAndTellsWhetherTheTreeWasEmptied)
{
    TTempDir dir;
    const TwexXMLTree like("root", "", nullptr);
    struct TCase {
        std::string file;
        std::string message;
        bool replaced; // a plain log empties the tree before it is read; a compressed one after
    };
    const std::string missing = dir.Path("missing.xml");
    const std::string missingPacked = dir.Path("missing.zxml");
    for (const TCase& c : {TCase{missing, "Cannot open file " + missing, true},
                           TCase{missingPacked, "Cannot open file " + missingPacked, false},
                           TCase{dir.Write("plain.zxml", Log(Round(1))), "error", false},
                           TCase{dir.Write("cut.zxml", Packed(Log(Round(1))).substr(0, 40)), "error", false}}) {
        SCOPED_TRACE(c.file);
        TLogLoader loader(c.file, like);
        RunToEnd(loader);
        EXPECT_EQ(ErrorText(loader.LoadError), c.message);
        EXPECT_EQ(loader.Replaced(), c.replaced);
        EXPECT_FALSE(loader.Status().Walking);
        EXPECT_TRUE(loader.Rounds.empty());
    }

    // A bad time stamp ends the walk and keeps what it found before, as in place.
    const std::string bad = dir.Write(
        "bad.xml", Log(Round(1) + Round(2, "<bf:event name=\"createPlayer\" timestamp=\"1x\"/>") + Round(3)));
    TwexXMLTree inPlace("root", "", nullptr);
    const TInPlace expected = LoadInPlace(bad, inPlace);
    ASSERT_EQ(expected.error, "'1x' is not a valid floating point value");
    TLogLoader loader(bad, like);
    RunToEnd(loader);
    EXPECT_FALSE(loader.LoadError);
    EXPECT_EQ(ErrorText(loader.WalkError), expected.error);
    ASSERT_EQ(loader.Rounds.size(), expected.rounds.size());
    EXPECT_EQ(loader.Rounds.at(0).first, expected.rounds.at(0));
    EXPECT_EQ(Entries(loader.Roster), expected.roster);
}

TEST(LogLoader, ACancelledLoadStopsWithoutResults)
{
    TTempDir dir;
    const std::string file = dir.Write("log.xml", Log(Round(1)));
    TLogLoader loader(file, TwexXMLTree("root", "", nullptr));
    loader.Cancel();
    RunToEnd(loader);
    EXPECT_TRUE(loader.Cancelled());
    EXPECT_FALSE(loader.LoadError);
    EXPECT_FALSE(loader.Replaced());
    EXPECT_TRUE(loader.Rounds.empty());

    // Destroying a loader that runs cancels it and waits for the worker.
    {
        TLogLoader running(file, TwexXMLTree("root", "", nullptr));
        running.Start();
    }
}

// A running server's copy of its log breaks off: the background load, the load in place and the
// log opened without the window list the rounds the text up to there holds, and say so.
TEST(LogLoader, ACompressedLogCutOffListsTheRoundsReadAndSaysItEndsEarly)
{
    TTempDir dir;
    loggen::Options options;
    options.rounds = 4;
    options.players = 12;
    options.roundTime = 120;
    const std::string text = loggen::generateToString(options);
    const std::string packed = Packed(text);
    for (const size_t cut : {packed.size() / 3, packed.size() * 2 / 3, packed.size() - 50}) {
        SCOPED_TRACE(cut);
        const std::string file = dir.Write("cut.zxml", packed.substr(0, cut));
        TLogLoader loader(file, TwexXMLTree("ROOT", "", nullptr));
        RunToEnd(loader);
        ASSERT_FALSE(loader.LoadError);
        EXPECT_TRUE(loader.Reading.EndsEarly());
        TOpenedLog opened;
        opened.Open(file);
        EXPECT_TRUE(opened.Reading().EndsEarly());
        EXPECT_EQ(opened.Reading().textSize, loader.Reading.textSize);
        // The same rounds as the plain text up to where the stream broke off.
        TOpenedLog plain;
        plain.Open(dir.Write("cut.xml", text.substr(0, opened.Reading().textSize)));
        EXPECT_FALSE(plain.Reading().EndsEarly());
        ASSERT_EQ(opened.Rounds().size(), plain.Rounds().size());
        ASSERT_EQ(loader.Rounds.size(), plain.Rounds().size());
        for (size_t i = 0; i < plain.Rounds().size(); ++i) {
            EXPECT_EQ(opened.Rounds()[i].Text, plain.Rounds()[i].Text);
            EXPECT_EQ(loader.Rounds[i].first, plain.Rounds()[i].Text);
        }
    }
    TOpenedLog whole;
    whole.Open(dir.Write("whole.zxml", packed));
    EXPECT_FALSE(whole.Reading().EndsEarly());
    EXPECT_GE(whole.Rounds().size(), 3u);
}
