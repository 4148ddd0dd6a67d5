// Start-up and shutdown: the command line, the zoom the window starts at, and the settings
// file written at the end without losing what the user had in it.
#include "WindowTestUtil.h"
#include "app/OpenDialog.h"
#include "replay/ReplayLog.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using replaylog::Ev;

// Three rounds, each of a few events.
std::string ThreeRounds()
{
    std::string rounds;
    for (const char* map : {"a", "b", "c"})
        rounds += replaylog::Round(Ev("spawnEvent", "10", 3, "100/0/200", {{"team", "1"}}) +
                                       Ev("pickupKit", "11", 3, "100/0/210") + Ev("pickupKit", "12", 3, "100/0/220"),
                                   map);
    return replaylog::Log(rounds);
}

struct TStarted {
    explicit TStarted(const std::vector<std::string>& arguments)
    {
        window.SetStopReplayWait(0);
        window.SetDrawThreadEnabled(false);
        RunHandler([&] { window.FormShow(arguments); });
    }
    TSeparatorScope point{'.'};
    THome home;
    TTarvelMain window{home.Exe()};
};

} // namespace

TEST(Startup, CommandLineOpensTheLogAndReplaysOnlyAPlainRoundIndex)
{
    THome logs;
    const std::string log = logs.Dir.Write("log.xml", ThreeRounds());
    struct TCase {
        std::vector<std::string> arguments;
        int rounds;
        bool replays;
        int selected;
    };
    const TCase cases[] = {
        {{}, 0, false, -1},
        {{""}, 0, false, -1},
        {{log}, 3, false, -1},
        {{log, ""}, 3, false, -1},
        {{log, "0"}, 3, true, 0},
        {{log, "2"}, 3, true, 2},
        {{log, "5"}, 3, false, -1}, // beyond the list
        {{log, "6"}, 3, false, -1},
        {{log, "00"}, 3, false, -1},
        {{log, " 1"}, 3, false, -1},
        {{log, "-1"}, 3, false, -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.arguments.size() > 1 ? "round '" + c.arguments[1] + "'" : "arguments " + std::to_string(c.arguments.size()));
        TStarted started(c.arguments);
        EXPECT_EQ(started.window.ListBox1->count(), c.rounds);
        EXPECT_EQ(started.window.Timer1->isActive(), c.replays);
        if (c.replays) {
            EXPECT_EQ(started.window.ListBox1->currentRow(), c.selected);
            EXPECT_EQ(started.window.MapName(), std::string(1, static_cast<char>('a' + c.selected)));
        }
    }
}

TEST(Startup, ALogThatCannotBeOpenedIsReportedAndTheRoundIsNotLookedAt)
{
    TErrorCapture errors;
    THome logs;
    TStarted started({logs.Dir.Path("missing.xml"), "0"});
    EXPECT_EQ(errors.Messages, std::vector<std::string>{"Cannot open file " + logs.Dir.Path("missing.xml")});
    EXPECT_EQ(started.window.ListBox1->count(), 0);
    EXPECT_FALSE(started.window.Timer1->isActive());
}

TEST(Startup, ZoomWithAndWithoutTheSetting)
{
    {
        THome home;
        TTarvelMain window(home.Exe());
        window.SetStopReplayWait(0);
        EXPECT_EQ(window.TBMApZoom->value(), 500);
        EXPECT_EQ(window.MapZoomImage->size(), QSize(300, 300));
    }
    for (const auto& [setting, position, side] : {std::tuple{"ZOOM=1000", 1000, 600}, {"zoom=1250", 1250, 750},
                                                   {"ZOOM=100", 500, 300}}) {
        THome home;
        home.Dir.Write("Tarvel.ini", std::string(setting) + "\r\n");
        TTarvelMain window(home.Exe());
        window.SetStopReplayWait(0);
        EXPECT_EQ(window.TBMApZoom->value(), position) << setting;
        // The map view takes the zoom's size from the start, also when the slider stood there.
        EXPECT_EQ(window.MapZoomImage->size(), QSize(side, side)) << setting;
        EXPECT_EQ(window.MapZoomImage->Picture().size(), QSize(side, side)) << setting;
    }
    TErrorCapture errors;
    THome home;
    home.Dir.Write("Tarvel.ini", "ZOOM=big\r\nLastOpen1=/some/log.xml\r\n");
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    EXPECT_EQ(errors.Messages, std::vector<std::string>{"'big' is not a valid integer value"});
    // The steps after the zoom are skipped: no recent-file item.
    EXPECT_EQ(window.File1->actions().size(), 5); // open, convert and the export items
}

TEST(Shutdown, WritesTheSettingsKeepingLinesItDoesNotKnow)
{
    THome home;
    const std::string before = "; my notes\r\nMyKey=kept\r\n\r\nadmin=true\r\nweird line without equals\r\n";
    home.Dir.Write("Tarvel.ini", "; my notes\nMyKey=kept\r\n\radmin=true\r\nweird line without equals");
    {
        TTarvelMain window(home.Exe());
        window.SetStopReplayWait(0);
        window.SetWritesSettings(true);
    }
    EXPECT_EQ(ReadFileBytes(home.Ini()), before);
    // Nothing else is left beside it: the file was replaced in one step.
    EXPECT_EQ(QDir(QString::fromStdString(home.Dir.Path(""))).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Tarvel.ini")});

    // A missing file is created; a window that is not to write leaves the folder alone.
    THome fresh;
    {
        TTarvelMain window(fresh.Exe());
        window.SetStopReplayWait(0);
    }
    EXPECT_FALSE(PathExists(fresh.Ini()));
    {
        TTarvelMain window(fresh.Exe());
        window.SetStopReplayWait(0);
        window.SetWritesSettings(true);
    }
    EXPECT_EQ(ReadFileBytes(fresh.Ini()), "");
    EXPECT_TRUE(PathExists(fresh.Ini()));
}

TEST(Shutdown, ASettingsFileThatCannotBeWrittenIsReportedAndLeftAlone)
{
    THome home;
    // A folder where the file should be: nothing can replace it.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(home.Ini())));
    TErrorCapture errors;
    {
        TTarvelMain window(home.Exe());
        window.SetStopReplayWait(0);
        window.SetWritesSettings(true);
    }
    EXPECT_EQ(errors.Messages, std::vector<std::string>{"Cannot create file " + home.Ini() + ": it is not a regular file"});
    EXPECT_TRUE(QFileInfo(QString::fromStdString(home.Ini())).isDir());
}

TEST(Shutdown, AStartUpThatFailedBeforeReadingTheSettingsDoesNotWipeThem)
{
    THome home;
    home.Dir.Write("Tarvel.ini", "admin=true\r\nMyKey=kept\r\n");
    // A picture map that exists but cannot be read (a socket) ends start-up before the
    // settings are read.
    const std::string map = home.Dir.Path("Tarvel.map");
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(map.size(), sizeof(address.sun_path));
    map.copy(address.sun_path, map.size());
    ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    TErrorCapture errors;
    {
        TTarvelMain window(home.Exe());
        window.SetStopReplayWait(0);
        window.SetWritesSettings(true);
    }
    ASSERT_EQ(errors.Messages.size(), 1u);
    EXPECT_EQ(errors.Messages[0], "Cannot open file " + home.Dir.Path("Tarvel.map") + ": it is not a regular file");
    EXPECT_EQ(ReadFileBytes(home.Ini()), "admin=true\r\nMyKey=kept\r\n");
    ::close(socket);
}

TEST(Shutdown, ClosingStopsTheReplay)
{
    THome logs;
    TStarted started({logs.Dir.Write("log.xml", ThreeRounds()), "0"});
    ASSERT_TRUE(started.window.Timer1->isActive());
    started.window.show();
    EXPECT_TRUE(started.window.close());
    EXPECT_FALSE(started.window.Timer1->isActive());
    EXPECT_TRUE(started.window.StopRequested());
}
