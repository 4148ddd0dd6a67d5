// The window shows what `ornwick replay` prints: one replay, driven by the window's controls
// and by the tool's options, on generated logs of both demo maps and on a home of its own.
#include "LogGen.h"

#include "../ToolRun.h"
#include "../WindowTestUtil.h"
#include "../../replay/LogText.h"
#include "app/Headless.h"

#include <QCheckBox>
#include <QListWidget>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

namespace {

// A replay as the window runs it and shows it, with the options `ornwick replay` takes.
struct TWindowReplay {
    std::vector<std::string> options; // as the command's
    int round = 0;

    std::string Json(const std::string& exe, const std::string& file, std::string& errors) const
    {
        TErrorCapture capture;
        TTarvelMain window(exe);
        window.SetStopReplayWait(0);
        window.SetDrawThreadEnabled(false);
        int ticks = -1;
        bool moved = false;
        for (size_t i = 0; i < options.size(); ++i) {
            const std::string& o = options[i];
            if (o == "--no-animate")
                window.CBAnimate->setChecked(false);
            else if (o == "--loop")
                window.ReplayFromstart20Events->setChecked(true);
            else if (o == "--ticks")
                ticks = std::stoi(options[++i]);
            else if (o == "--scale")
                window.SetTrackBarPosition(window.TBXas, std::stoi(options[++i]));
            else if (o == "--left")
                window.SetTrackBarPosition(window.TBLeft, std::stoi(options[++i]));
        }
        if (std::find(options.begin(), options.end(), "--loop") == options.end())
            window.ReplayFromstart20Events->setChecked(false);
        window.OpenLog(file);
        std::ostringstream out;
        if (round >= window.ListBox1->count()) {
            PrintReplay(out, window, window.ReplayTicks());
            return out.str();
        }
        window.ListBox1->setCurrentRow(round);
        RunHandler([&] { window.ListBox1DblClick(); });
        for (size_t i = 0; i < options.size(); ++i) {
            if (options[i] == "--seek") {
                const double seconds = std::stod(options[++i]);
                RunHandler([&] { window.SeekTo(seconds); });
                moved = true;
            } else if (options[i] == "--next-kill" || options[i] == "--previous-kill") {
                RunHandler([&] { options[i] == "--next-kill" ? window.NextKill() : window.PreviousKill(); });
                moved = true;
            }
        }
        if (moved && ticks < 0)
            ticks = 0;
        for (int i = 0; window.Timer1->isActive() && (ticks < 0 || i < ticks); ++i)
            RunHandler([&] { window.Timer1Timer(); });
        PrintReplay(out, window, window.ReplayTicks());
        for (const std::string& message : capture.Messages)
            errors += message + "\n";
        return out.str();
    }
};

} // namespace

TEST(RoundMapWindow, TheReplayWithoutAWindowShowsWhatTheWindowShows)
{
    TSeparatorScope point('.');
    const std::vector<std::vector<std::string>> runs = {
        {},
        {"--ticks", "700", "--no-animate"},
        {"--ticks", "2500", "--loop"},
        {"--seek", "1e9", "--seek", "200", "--next-kill", "--next-kill", "--previous-kill", "--seek", "50", "--ticks",
         "5", "--scale", "300", "--left", "10"},
    };
    auto compare = [&](const std::string& home, const std::string& file, int round) {
        for (const std::vector<std::string>& options : runs) {
            SCOPED_TRACE(::testing::PrintToString(options));
            std::string windowErrors;
            const std::string shown = TWindowReplay{options, round}.Json(home + "/Tarvel", file, windowErrors);
            std::vector<std::string> args{"replay", file, std::to_string(round), "--home", home};
            args.insert(args.end(), options.begin(), options.end());
            const TToolRun run = RunOrnwickTool(args);
            if (round < 2) {
                EXPECT_EQ(run.out, shown);
                EXPECT_EQ(run.err, windowErrors);
            } else {
                EXPECT_EQ(run.out, ""); // the command line was wrong: nothing to show
                EXPECT_EQ(run.status, 2) << run.err;
            }
        }
    };
    // Generated rounds on both demo maps, with the program's own pictures and object files.
    for (const bool bots : {false, true}) {
        loggen::Options options;
        options.seed = bots ? 21 : 22;
        options.players = 10;
        options.bots = bots ? 10 : 0;
        options.rounds = 2;
        options.roundTime = 300;
        options.vechicleSpelling = bots;
        TTempDir dir;
        compare(ORNWICK_BIN_DIR, dir.Write("log.xml", loggen::generateToString(options)), 0);
    }
    // A home of its own: a saved calibration, an object file whose second object fails, and
    // a round that shows no events.
    using namespace replaylog;
    THome home;
    std::filesystem::create_directory(home.Dir.Path("images"));
    home.Dir.Write("Tarvel.ini", "bay_SCALE=1500\nbay_CORRECTIONY=1800\nbay_TOPMARGIN=4\nbay_LEFTMARGIN=-6\n");
    home.Dir.Write("images/bayOBS.con", "Object.create Jeep\nObject.absolutePosition 10/0/10\nObject.setTeam 0\n"
                                         "Object.create Tank\nObject.absolutePosition 15/0/10\nObject.setTeam x\n");
    const std::string log =
        Log(Round(Ev("spawnEvent", "10", 3, "10/0/10", {{"team", "1"}}) + Ev("spawnEvent", "11", 5, "30/0/30", {{"team", "2"}}) +
                  Ev("playerKilled", "40", 5, "30/0/30", {{"victim_id", "3"}, {"victim_location", "12/0/12"}}) +
                  Ev("spawnEvent", "60", 3, "0/0/0", {{"team", "1"}}) + Ev("spawnEvent", "80", 3, "14/0/14", {{"team", "1"}})) +
            Round("<bf:notanevent/>"));
    const std::string file = home.Dir.Write("log.xml", log);
    compare(home.Dir.Path(""), file, 0);
    compare(home.Dir.Path(""), file, 1);
    compare(home.Dir.Path(""), file, 7); // no such round
}
