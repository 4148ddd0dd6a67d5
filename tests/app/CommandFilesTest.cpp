// The files the commands and the window write, and the command lines they refuse, as a hostile
// or unlucky user meets them.
#include "SmallFileSystem.h"
#include "ToolRun.h"
#include "WindowTestUtil.h"
#include "replay/ReplayLog.h"

#include <QDir>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace replaylog;

namespace {

// Anna walks for a minute; the round is listed as the log's only one.
std::string WalkLog()
{
    std::string events = Ev("spawnEvent", "10", 3, "20/0/20", {{"team", "1"}});
    for (int t = 20; t <= 70; t += 10)
        events += Ev("pickupKit", std::to_string(t), 3, std::to_string(t) + "/0/20");
    return Log(Round(events));
}

const char OldIni[] = "admin=true\r\nZOOM=1000\r\nLastOpen1=/logs/a.zxml\r\nbay_SCALE=1800\r\nbay_CORRECTIONY=1900\r\n"
                      "bay_TOPMARGIN=3\r\nbay_LEFTMARGIN=4\r\n; kept as written\r\n";

std::vector<std::string> Render(const std::string& log, const std::string& home, std::vector<std::string> more)
{
    std::vector<std::string> args{"render", log, "0", "--at", "30", "--home", home};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

} // namespace

TEST(FullDisk, TheSettingsAPictureAndTheCalibrationFailAndKeepTheirOldFiles)
{
    ORNWICK_ON_SMALL_FILE_SYSTEM(folder);
    const std::string ini = folder + "/Tarvel.ini", png = folder + "/old.png";
    std::ofstream(ini, std::ios::binary) << OldIni;
    // A picture the tool wrote before: only such a file is written over.
    const std::string oldPicture = std::string("\x89PNG\r\n\x1a\n", 8) + "an old picture";
    std::ofstream(png, std::ios::binary) << oldPicture;
    TTempDir logs; // on a disk with room: only the outputs are on the full one
    const std::string log = logs.Write("walk.xml", WalkLog());
    smallfs::Fill(folder);
    const std::string full = ": No space left on device";

    TToolRun run = RunOrnwickTool({"calibrate", "bay", "--home", folder, "--ref", "0,0=0,500", "--ref",
                                   "500,500=100,400", "--picture-height", "500", "--save"});
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.err, "Cannot create file " + ini + full + "\n");
    run = RunOrnwickTool(Render(log, folder, {"--out", png}));
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.err, "Cannot create file " + png + full + "\n");
    {
        TErrorCapture errors;
        {
            TTarvelMain window(folder + "/Tarvel");
            window.SetStopReplayWait(0);
            window.SetWritesSettings(true);
            TTarvelMainTest::Settings(window).SetValue("ZOOM", "1500");
        }
        EXPECT_EQ(errors.Messages, std::vector<std::string>{"Cannot create file " + ini + full});
    }
    EXPECT_EQ(ReadFileBytes(ini), OldIni);
    EXPECT_EQ(ReadFileBytes(png), oldPicture);
    // Only the two old files and the filler: no temporary file is left behind.
    EXPECT_EQ(QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST(CommandOutputs, TheLogItselfAnythingButARegularFileAndOtherNamesAreRefusedFirst)
{
    TTempDir dir;
    const std::string home = std::string(ORNWICK_BIN_DIR);
    const std::string log = dir.Write("walk.xml", WalkLog());
    // Logs may have any name: one named as a picture, and one as a video.
    const std::string pictureLog = dir.Write("walk.png", WalkLog());
    const std::string videoLog = dir.Write("walk.mp4", WalkLog());
    const std::string link = dir.Path("link.png");
    std::filesystem::create_symlink(pictureLog, link);
    const std::string pipe = dir.Path("pipe.png");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string videoPipe = dir.Path("pipe.mp4");
    ASSERT_EQ(::mkfifo(videoPipe.c_str(), 0600), 0);
    std::filesystem::create_directory(dir.Path("folder.png"));
    struct TCase {
        std::vector<std::string> args;
        std::string says;
    };
    const std::string itself = ": that is the log being read; name a file of its own\n";
    const std::string pictures = ": a picture is saved as .png, .jpg or .jpeg\n";
    const TCase cases[] = {
        {Render(log, home, {"--out", log}), "--out " + log + pictures},
        {Render(pictureLog, home, {"--out", pictureLog}), "--out " + pictureLog + itself},
        {Render(pictureLog, home, {"--out", dir.Path("/walk.png")}), "--out " + dir.Path("/walk.png") + itself},
        {Render(pictureLog, home, {"--out", link}), "--out " + link + itself},
        {Render(pictureLog, home, {"--out", dir.Path("x.png"), "--minimap", dir.Path("./walk.png")}),
         "--minimap " + dir.Path("./walk.png") + itself},
        {Render(log, home, {"--out", dir.Path("x.png"), "--minimap", dir.Path("x.png")}),
         "--minimap " + dir.Path("x.png") + ": that is the file of --out; name a file of its own\n"},
        {Render(log, home, {"--out", pipe}), "--out " + pipe + ": it exists and is not a regular file\n"},
        {Render(log, home, {"--out", dir.Path("folder.png")}), "--out " + dir.Path("folder.png") + ": it exists and is not a regular file\n"},
        {Render(log, home, {"--out", dir.Path("x.gif")}), "--out " + dir.Path("x.gif") + pictures},
        {{"video", videoLog, "0", "--home", home, "--out", videoLog}, "--out " + videoLog + itself},
        {{"video", log, "0", "--home", home, "--out", videoPipe}, "--out " + videoPipe + ": it exists and is not a regular file\n"},
    };
    for (const TCase& c : cases) {
        const TToolRun run = RunOrnwickTool(c.args);
        EXPECT_EQ(run.status, 2) << c.says;
        EXPECT_EQ(run.err, "ornwick: " + c.says);
        EXPECT_EQ(run.out, "");
    }
    // Nothing was written, nothing replaced.
    EXPECT_EQ(ReadFileBytes(log), WalkLog());
    EXPECT_EQ(ReadFileBytes(pictureLog), WalkLog());
    EXPECT_EQ(ReadFileBytes(videoLog), WalkLog());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    EXPECT_EQ(QDir(QString::fromStdString(dir.Path(""))).entryList(QDir::Files | QDir::System).size(), 6);

    // The names the window's export takes: JPEG by its name, as there.
    const TToolRun jpeg = RunOrnwickTool(Render(log, home, {"--out", dir.Path("map.JPEG"), "--minimap", dir.Path("mini.png")}));
    EXPECT_EQ(jpeg.status, 0) << jpeg.err;
    EXPECT_EQ(QImageReader(QString::fromStdString(dir.Path("map.JPEG"))).format(), "jpeg");
    EXPECT_EQ(QImageReader(QString::fromStdString(dir.Path("mini.png"))).format(), "png");
}

TEST(CommandRounds, ARoundThatIsNotListedIsAUsageErrorOfEveryCommandThatTakesOne)
{
    TTempDir dir;
    const std::string home = std::string(ORNWICK_BIN_DIR);
    const std::string log = dir.Write("walk.xml", WalkLog());
    const std::vector<std::vector<std::string>> commands = {
        {"events"}, {"replay", "--home", home}, {"render", "--at", "30", "--out", dir.Path("x.png"), "--home", home},
        {"stats", "--home", home}, {"video", "--out", dir.Path("x.mp4"), "--home", home}, {"fit", "--home", home}};
    const std::pair<std::string, std::string> rounds[] = {
        {"1", "no round 1: the log lists one round, 0 (see ornwick rounds LOG)"},
        {"2147483648", "N is the round's place in the log's round list (0 for the first), not '2147483648'"},
        {"-1", "N is the round's place in the log's round list (0 for the first), not '-1'"},
        {"first", "N is the round's place in the log's round list (0 for the first), not 'first'"},
        {"+0", "N is the round's place in the log's round list (0 for the first), not '+0'"}};
    for (const std::vector<std::string>& command : commands)
        for (const auto& [round, says] : rounds) {
            std::vector<std::string> args{command[0], log, round};
            args.insert(args.end(), command.begin() + 1, command.end());
            const TToolRun run = RunOrnwickTool(args);
            EXPECT_EQ(run.status, 2) << command[0] << " " << round;
            EXPECT_EQ(run.err, "ornwick: " + says + "\n") << command[0];
            EXPECT_EQ(run.out, "") << command[0];
        }
    // A log without a round worth replaying says so.
    const std::string empty = dir.Write("empty.xml", Log(""));
    EXPECT_EQ(RunOrnwickTool({"stats", empty, "0", "--home", home}).err,
              "ornwick: no round 0: the log lists no round worth replaying (see ornwick rounds LOG)\n");
    EXPECT_EQ(QDir(QString::fromStdString(dir.Path(""))).entryList(QDir::Files).size(), 2);
}

TEST(CommandRounds, ARoundWithoutASpanToFilmSaysSoInItsOwnTerms)
{
    TTempDir dir;
    // The events run backwards: the last one lies before the first.
    const std::string log =
        dir.Write("back.xml", Log(Round(Ev("spawnEvent", "100", 3, "20/0/20", {{"team", "1"}}) +
                                        Ev("pickupKit", "50", 3, "30/0/20") + Ev("pickupKit", "1", 3, "40/0/20"))));
    const TToolRun run = RunOrnwickTool({"video", log, "0", "--home", ORNWICK_BIN_DIR, "--out", dir.Path("v.mp4")});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "ornwick: the round has no span to film: its last event (at 1 s) is not after its start (at 100 s)\n");
}

TEST(ReplayCommand, TheLoopNeedsACountOfTicks)
{
    TTempDir dir;
    const std::string log = dir.Write("walk.xml", WalkLog());
    const std::string home = std::string(ORNWICK_BIN_DIR);
    const TToolRun endless = RunOrnwickTool({"replay", log, "0", "--loop", "--home", home});
    EXPECT_EQ(endless.status, 2);
    EXPECT_EQ(endless.err, "ornwick: --loop replays the round's start again and again: give --ticks K to end it\n");
    EXPECT_EQ(endless.out, "");
    const TToolRun counted = RunOrnwickTool({"replay", log, "0", "--loop", "--ticks", "50", "--home", home});
    EXPECT_EQ(counted.status, 0) << counted.err;
    EXPECT_EQ(counted.out.substr(0, 12), "{\"ticks\":50,");
}

// The settings file as the window keeps it: a NUL byte is a byte of its line, and a map whose
// name would make a key that never reads back is not saved, however often "Save" is pressed.
TEST(Settings, OddBytesSurviveTheWindowAndAMapNameWithEqualsIsNotSaved)
{
    using namespace std::string_literals;
    const std::string ini = "admin=true\r\nodd\0line\r\nLastOpen1=/logs/a.zxml\r\nbay_SCALE=1800\r\n"s;
    {
        TReplay r(Log(Round(Ev("spawnEvent", "10", 3, "20/0/20", {{"team", "1"}}) + Ev("pickupKit", "20", 3, "30/0/20"),
                            "a=b")),
                  ini);
        r.window.SetWritesSettings(true);
        r.Select(0);
        EXPECT_EQ(r.window.MapName(), "a=b");
        for (int press = 0; press < 2; ++press)
            RunHandler([&] { r.window.BSaveSettingsPerMapClick(); });
        EXPECT_EQ(r.errors.Messages,
                  std::vector<std::string>(2, "The calibration of the map a=b cannot be saved: a map name with \"=\" or a "
                                              "line break is no key of the settings file"));
        r.window.FormDestroy(); // as the window closes: the settings written back
        EXPECT_EQ(ReadFileBytes(r.home.Ini()), ini);
    }
}
