// Realistic logs replayed to their end: every round of the demo log and of generated logs of
// every generator option, in the window offscreen and through the headless tool.
#include "LogGen.h"

#include "../app/ToolRun.h"
#include "../app/WindowTestUtil.h"
#include "app/OpenDialog.h"

#include <QCheckBox>
#include <QListWidget>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Replays every listed round of the window's log tick after tick, as the timer would; an
// error stops the round. Returns the reported messages.
std::vector<std::string> ReplayEveryRound(TTarvelMain& window, int& rounds, long long& ticks)
{
    TErrorCapture errors;
    window.OpenLog();
    rounds = window.ListBox1->count();
    for (int round = 0; round < rounds && errors.Messages.empty(); ++round) {
        window.ListBox1->setCurrentRow(round);
        RunHandler([&] { window.ListBox1DblClick(); });
        while (window.Timer1->isActive()) {
            ++ticks;
            RunHandler([&] { window.Timer1Timer(); });
        }
        // Reached the end, not halted: the round's second-to-last event was applied.
        EXPECT_EQ(window.EventIndex(), window.Events().Count() - 2) << "round " << round;
    }
    return errors.Messages;
}

struct TGeneratorCase {
    const char* name;
    loggen::Options options;
};

std::vector<TGeneratorCase> GeneratorCases()
{
    auto with = [](auto change) {
        loggen::Options o;
        o.seed = 11;
        o.players = 16;
        o.rounds = 3;
        o.roundTime = 240;
        change(o);
        return o;
    };
    return {
        {"defaults", with([](loggen::Options&) {})},
        {"bots only", with([](loggen::Options& o) { o.bots = o.players; })},
        {"no bots", with([](loggen::Options& o) { o.bots = 0; })},
        {"vechicle spelling", with([](loggen::Options& o) { o.vechicleSpelling = true; })},
        {"one map", with([](loggen::Options& o) { o.map = "kessel_ridge"; })},
        {"64 players", with([](loggen::Options& o) { o.players = 64; o.rounds = 2; })},
        {"compressed", with([](loggen::Options& o) { o.zxml = true; })},
        {"by size", with([](loggen::Options& o) { o.size = 400000; })},
    };
}

} // namespace

TEST(GeneratedLogsReplay, EveryRoundOfEveryGeneratorOptionReachesItsEnd)
{
    TSeparatorScope point('.');
    for (const TGeneratorCase& c : GeneratorCases()) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const std::string log =
            dir.Write(c.options.zxml ? "log.zxml" : "log.xml", loggen::generateToString(c.options));
        TTarvelMain window(std::string(ORNWICK_BIN_DIR) + "/Tarvel");
        window.SetStopReplayWait(0);
        window.OpenDialog1->FileName = log;
        int rounds = 0;
        long long ticks = 0;
        EXPECT_EQ(ReplayEveryRound(window, rounds, ticks), std::vector<std::string>());
        EXPECT_GE(rounds, 1);
        EXPECT_GT(ticks, 100 * rounds);
        EXPECT_GT(window.PlayerStates().Count(), 0);
    }
}

TEST(GeneratedLogsReplay, DemoLogInTheWindowAndInTheTool)
{
    TSeparatorScope point('.');
    const std::string demo = std::string(ORNWICK_BIN_DIR) + "/demo/demo.zxml";
    TTarvelMain window(std::string(ORNWICK_BIN_DIR) + "/Tarvel");
    window.SetStopReplayWait(0);
    window.OpenDialog1->FileName = demo;
    int rounds = 0;
    long long ticks = 0;
    EXPECT_EQ(ReplayEveryRound(window, rounds, ticks), std::vector<std::string>());
    ASSERT_GE(rounds, 1);
    for (int round = 0; round < rounds; ++round) {
        const TToolRun run = RunOrnwickTool({"replay", demo, std::to_string(round)});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_NE(run.out.find("\"timer\":false"), std::string::npos);
    }
}
