// What the headless tool takes from the model equals what the window shows: the round list,
// the roster, each round's events and statistics, and the map each selection leaves with the
// fit to the round, on generated logs of both demo maps with the program's own files, and on a
// map without its picture, which both fit to the round as it is selected.
#include "LogGen.h"

#include "../WindowTestUtil.h"
#include "app/OpenDialog.h"
#include "log/OpenedLog.h"
#include "mapview/ProgramFolder.h"
#include "mapview/RoundMap.h"

#include <QListWidget>
#include <QSlider>

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

        TTarvelMain window(exe);
        window.SetStopReplayWait(0);
        window.SetDrawThreadEnabled(false);
        window.OpenDialog1->FileName = file;
        window.OpenLog();
        TOpenedLog log;
        log.Open(file);
        ASSERT_EQ(static_cast<int>(log.Rounds().size()), window.ListBox1->count());
        for (int i = 0; i < window.ListBox1->count(); ++i)
            EXPECT_EQ(log.Rounds()[static_cast<size_t>(i)].Text, FromLatin1(window.ListBox1->item(i)->text()));
        EXPECT_EQ(Roster(log.Roster()), Roster(window.Roster()));

        TProgramFiles files(exe);
        files.Read();
        TRoundMap map(files);
        for (int round = 0; round < window.ListBox1->count(); ++round) {
            SCOPED_TRACE(round);
            window.ListBox1->setCurrentRow(round);
            window.ListBox1DblClick();
            TEventInfoList events;
            map.Select(*log.Round(round), events);
            EXPECT_EQ(Events(events), Events(window.Events()));
            ASSERT_GT(events.Count(), 0);
            // The statistics window's table and the replay's counts beside it.
            EXPECT_EQ(RoundStatsJson(ReadRoundStats(log.Document(), *log.Round(round)), CountReplay(events)),
                      RoundStatsJson(window.RoundStats(), CountReplay(window.Events())));
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

    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    window.SetDrawThreadEnabled(false);
    window.OpenDialog1->FileName = file;
    window.OpenLog();
    TOpenedLog log;
    log.Open(file);
    TProgramFiles files(home.Exe());
    files.Read();
    TRoundMap map(files);
    ASSERT_EQ(window.ListBox1->count(), 2);
    for (int round = 0; round < window.ListBox1->count(); ++round) {
        SCOPED_TRACE(round);
        window.ListBox1->setCurrentRow(round);
        window.ListBox1DblClick();
        TEventInfoList events;
        map.Select(*log.Round(round), events);
        EXPECT_TRUE(map.PictureMissing());
        EXPECT_TRUE(window.MapPictureMissing());
        EXPECT_EQ(map.Sliders(), window.Calibration());
        EXPECT_EQ(map.Sliders(), map.FitToRound(events));
        EXPECT_EQ(map.LeftMargin(), window.LeftMargin());
        EXPECT_EQ(map.TopMargin(), window.TopMargin());
        EXPECT_EQ(Objects(map.Objects()), Objects(window.MapObjects()));
    }
    EXPECT_EQ(window.Settings().Values("bramble_bay_CORRECTIONY"), "");
}
