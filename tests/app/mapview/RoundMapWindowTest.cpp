// What the headless tool takes from the model equals what the window shows: the round list,
// the roster, each round's events and statistics, and the map each selection leaves with the
// fit to the round, on generated logs of both demo maps with the program's own files, and on a
// map without its picture, which both fit to the round as it is selected.
#include "LogGen.h"

#include "../ToolRun.h"
#include "../WindowTestUtil.h"
#include "../../replay/LogText.h"
#include "app/Headless.h"
#include "app/replay/RoundStatsForm.h"
#include "app/OpenDialog.h"
#include "log/OpenedLog.h"
#include "settings/ProgramFolder.h"
#include "mapview/RoundMap.h"

#include <QCheckBox>
#include <QListWidget>
#include <QSlider>
#include <QTimer>

#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::string Roster(const TPlayerList& roster)
{
    std::string text;
    for (int i = 0; i < roster.Count(); ++i) {
        const TPlayerInfo& p = *roster.GetPlayer(i);
        text += std::to_string(p.PlayerID) + " " + p.PlayerName + " " + std::to_string(p.JoinTime) + " " +
                std::to_string(p.LeaveTime) + "\n";
    }
    return text;
}

std::string Events(const TEventInfoList& events)
{
    std::string text;
    for (int i = 0; i < events.Count(); ++i) {
        const TEventInfo& e = *events.GetEvent(i);
        text += e.EventName + " " + std::to_string(e.Timestamp) + " " + std::to_string(e.PlayerID) + " " +
                std::to_string(e.PosX) + "/" + std::to_string(e.PosZ) + " " + e.Kit + e.Vehicle + e.ScoreType + "\n";
    }
    return text;
}

std::string Objects(const TMapObjectList& objects)
{
    std::string text;
    for (int i = 0; i < objects.Count(); ++i) {
        const TMapObject& o = *objects.Object(i);
        text += o.FObjectClass + " " + o.FPosition + " " + std::to_string(o.FTeam) + " " + o.FPictureName + " " +
                std::to_string(o.FImage.Left) + "," + std::to_string(o.FImage.Top) + "," +
                std::to_string(o.FImage.Width) + "x" + std::to_string(o.FImage.Height) + "\n";
    }
    return text;
}

// A log opened both in the window of a program folder and by the model.
struct TBothOpen {
    TBothOpen(const std::string& exe, const std::string& file) : window(exe), files(exe)
    {
        window.SetStopReplayWait(0);
        window.SetDrawThreadEnabled(false);
        window.OpenLog(file);
        log.Open(file);
        files.Read();
    }
    // Round N double-clicked in the window and selected in the map without a window.
    void Select(TRoundMap& map, int round, TEventInfoList& events)
    {
        window.ListBox1->setCurrentRow(round);
        window.ListBox1DblClick();
        map.Select(*log.Round(round), events);
    }
    TTarvelMain window;
    TOpenedLog log;
    TProgramFiles files;
};

} // namespace

TEST(RoundMapWindow, TheModelAnswersAsTheWindowShows)
{
    TSeparatorScope point('.');
    const std::string exe = std::string(ORNWICK_BIN_DIR) + "/Tarvel";
    for (const char* mapName : {"bramble_bay", "kessel_ridge"}) {
        SCOPED_TRACE(mapName);
        loggen::Options options;
        options.seed = 11;
        options.players = 12;
        options.rounds = 3; // two listed: the last still runs
        options.roundTime = 150;
        options.map = mapName;
        TTempDir dir;
        const std::string file = dir.Write("log.xml", loggen::generateToString(options));

        TBothOpen both(exe, file);
        TTarvelMain& window = both.window;
        const TOpenedLog& log = both.log;
        ASSERT_EQ(static_cast<int>(log.Rounds().size()), window.ListBox1->count());
        for (int i = 0; i < window.ListBox1->count(); ++i)
            EXPECT_EQ(log.Rounds()[static_cast<size_t>(i)].Text, FromLatin1(window.ListBox1->item(i)->text()));
        EXPECT_EQ(Roster(log.Roster()), Roster(window.Roster()));

        TRoundMap map(both.files);
        for (int round = 0; round < window.ListBox1->count(); ++round) {
            SCOPED_TRACE(round);
            TEventInfoList events;
            both.Select(map, round, events);
            EXPECT_EQ(Events(events), Events(window.Events()));
            ASSERT_GT(events.Count(), 0);
            // The statistics window's table and the replay's counts beside it.
            EXPECT_EQ(RoundStatsJson(ReadRoundStats(log.Document(), *log.Round(round)), ReplayCounts(events, log.Roster())),
                      RoundStatsJson(window.RoundStatsForm().RoundStats(), ReplayCounts(window.Events(), window.Roster())));
            EXPECT_EQ(map.MapName(), window.MapName());
            EXPECT_EQ(map.Picture().Height, window.MapImage().Height);
            EXPECT_FALSE(map.PictureMissing());
            EXPECT_EQ(map.Sliders(), window.Calibration());
            EXPECT_EQ(map.LeftMargin(), window.LeftMargin());
            EXPECT_EQ(map.TopMargin(), window.TopMargin());
            EXPECT_GT(map.Objects().Count(), 0);
            EXPECT_EQ(Objects(map.Objects()), Objects(window.MapObjects()));
            EXPECT_EQ(map.FitToRound(events), window.FitToRound());
        }
    }
}

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

TEST(RoundMapWindow, OnAMapWithoutPictureBothFitTheRoundAsItIsSelected)
{
    TSeparatorScope point('.');
    // The program's own files but for the map's picture, and nothing saved for the map.
    THome home;
    std::filesystem::create_directory(home.Dir.Path("images"));
    for (const auto& entry : std::filesystem::directory_iterator(std::string(ORNWICK_BIN_DIR) + "/images"))
        if (entry.path().filename() != "bramble_bay.jpg")
            std::filesystem::copy_file(entry.path(), home.Dir.Path("images/" + entry.path().filename().string()));
    home.Dir.Write("Tarvel.ini", "ZOOM=1000\r\n");
    loggen::Options options;
    options.seed = 5;
    options.players = 16;
    options.rounds = 3;
    options.roundTime = 200;
    options.map = "bramble_bay";
    const std::string file = home.Dir.Write("log.xml", loggen::generateToString(options));

    TBothOpen both(home.Exe(), file);
    TTarvelMain& window = both.window;
    const TOpenedLog& log = both.log;
    TRoundMap map(both.files);
    ASSERT_EQ(window.ListBox1->count(), 2);
    for (int round = 0; round < window.ListBox1->count(); ++round) {
        SCOPED_TRACE(round);
        TEventInfoList events;
        both.Select(map, round, events);
        EXPECT_TRUE(map.PictureMissing());
        EXPECT_TRUE(window.MapPictureMissing());
        EXPECT_EQ(map.Sliders(), window.Calibration());
        EXPECT_EQ(map.Sliders(), map.FitToRound(events));
        EXPECT_EQ(map.LeftMargin(), window.LeftMargin());
        EXPECT_EQ(map.TopMargin(), window.TopMargin());
        EXPECT_EQ(Objects(map.Objects()), Objects(window.MapObjects()));
    }
    EXPECT_EQ(window.ProgramFiles().Settings().Values("bramble_bay_CORRECTIONY"), "");
}
