// Realistic logs replayed to their end: every round of the demo log and of generated logs of
// every generator option, in the window offscreen and through the headless tool.
#include "LogGen.h"

#include "../ToolRun.h"
#include "../WindowTestUtil.h"
#include "app/OpenDialog.h"

#include <QCheckBox>
#include <QListWidget>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct TReplayed {
    std::vector<std::string> errors;
    int rounds = 0;
    long long ticks = 0;
    int states = 0; // the player states the last round left
};

// Opens the log in the program's window and replays every listed round tick after tick, as
// the timer would; an error stops the round.
TReplayed ReplayEveryRound(const std::string& log)
{
    TTarvelMain window(std::string(ORNWICK_BIN_DIR) + "/Tarvel");
    window.SetStopReplayWait(0);
    window.SetDrawThreadEnabled(false);
    TReplayed replayed;
    int& rounds = replayed.rounds;
    long long& ticks = replayed.ticks;
    TErrorCapture errors;
    window.OpenLog(log);
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
    replayed.errors = errors.Messages;
    replayed.states = window.PlayerStates().Count();
    return replayed;
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
        const TReplayed replayed = ReplayEveryRound(log);
        EXPECT_EQ(replayed.errors, std::vector<std::string>());
        EXPECT_GE(replayed.rounds, 1);
        EXPECT_GT(replayed.ticks, 100 * replayed.rounds);
        EXPECT_GT(replayed.states, 0);
    }
}

TEST(GeneratedLogsReplay, DemoLogInTheWindowAndInTheTool)
{
    TSeparatorScope point('.');
    const std::string demo = std::string(ORNWICK_BIN_DIR) + "/demo/demo.zxml";
    const TReplayed replayed = ReplayEveryRound(demo);
    EXPECT_EQ(replayed.errors, std::vector<std::string>());
    ASSERT_GE(replayed.rounds, 1);
    for (int round = 0; round < replayed.rounds; ++round) {
        const TToolRun run = RunOrnwickTool({"replay", demo, std::to_string(round)});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_NE(run.out.find("\"timer\":false"), std::string::npos);
    }
}
