// The tool's map import and replays as a careless or hostile source leaves the files: pipes in
// place of archives, names that are no ASCII, names that are no files at all.
#include "../ToolRun.h"
#include "../WindowTestUtil.h"
#include "../../replay/LogText.h"
#include "base/Files.h"
#include "base/TextList.h"
#include "level/LevelTestFiles.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace replaylog;

namespace {

const std::string Levels = "game/Mods/bf1942/Archives/bf1942/levels/";

// The tool run as a process of its own: a run that waits is a failure, and is ended. Not on a
// thread of this one: the commands that build the window would build widgets off the main thread.
TToolRun RunInTime(const std::vector<std::string>& args, const std::string& pipe)
{
    QProcess tool;
    QStringList arguments;
    for (const std::string& a : args)
        arguments << QFile::decodeName(QByteArray::fromStdString(a));
    tool.start(QString::fromUtf8(ORNWICK_BIN_DIR) + QStringLiteral("/ornwick"), arguments);
    if (!tool.waitForFinished(30000)) {
        ADD_FAILURE() << "ornwick " << args.front() << " waits for " << pipe;
        tool.kill();
        tool.waitForFinished();
    }
    const int status = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    return {status, tool.readAllStandardOutput().toStdString(), tool.readAllStandardError().toStdString()};
}

std::string MapRound(const std::string& map)
{
    return Log(Round(Ev("spawnEvent", "10", 3, "300/50/400", {{"team", "1"}}) + Ev("spawnEvent", "60", 5, "310/50/420", {{"team", "2"}}),
                     map));
}

std::vector<std::string> Images(const THome& home)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(home.Dir.Path("images")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(MapInputs, APipeOrANameThatIsNoFileEndsTheImportWithItsReason)
{
    THome home;
    std::filesystem::create_directory(home.Dir.Path("images"));
    TTempDir source;
    const std::string fifo = source.Path("fifo.rfa");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TToolRun run = RunInTime({"import-map", fifo, "--home", home.Dir.Path("")}, fifo);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "ornwick: Cannot open file " + fifo + ": it is not a regular file\n");
    run = RunOrnwickTool({"import-map", "", "--home", home.Dir.Path("")});
    EXPECT_EQ(run.err, "ornwick: No level was named: name a level folder, a level archive (.rfa) or a game folder\n");
    std::filesystem::create_symlink("loop.rfa", source.Path("loop.rfa"));
    run = RunOrnwickTool({"import-map", source.Path("loop.rfa"), "--home", home.Dir.Path("")});
    EXPECT_EQ(run.err, "ornwick: Cannot open file " + source.Path("loop.rfa") + ": Too many levels of symbolic links\n");
    // A map's name that would be a path is said to be no name.
    std::filesystem::create_directories(source.Path(Levels));
    run = RunOrnwickTool({"import-map", source.Path("game"), "--map", "../x", "--home", home.Dir.Path("")});
    EXPECT_EQ(run.err, "ornwick: '../x' cannot be a map's name\n");
    EXPECT_TRUE(std::filesystem::is_empty(home.Dir.Path("images")));
}

TEST(MapInputs, AReplayWhoseGameFolderHoldsAPipeForTheMapSaysSoAndPlays)
{
    THome home;
    std::filesystem::create_directory(home.Dir.Path("images"));
    TTempDir game;
    std::filesystem::create_directories(game.Path(Levels));
    const std::string fifo = game.Path(Levels + "Small.rfa");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    home.Dir.Write("Tarvel.ini", "GameFolder=" + game.Path("game") + "\r\n");
    const std::string log = home.Dir.Write("log.xml", MapRound("Small"));
    const TToolRun run = RunInTime({"replay", log, "0", "--home", home.Dir.Path("")}, fifo);
    EXPECT_EQ(run.status, 0); // a map that cannot be imported stops nothing
    EXPECT_NE(run.out.find("\"PlayerName\":\"Bert\""), std::string::npos) << run.out; // the round played
    EXPECT_EQ(run.err, "No picture of Small: Cannot open file " + fifo + ": it is not a regular file\n");
    EXPECT_TRUE(Images(home).empty());
}

TEST(MapInputs, ALatin1MapNameImportsToItsUtf8FilesWhichEveryLaterRunFinds)
{
    // The log names the map in Latin-1; the game's archive is named in UTF-8.
    THome home;
    std::filesystem::create_directory(home.Dir.Path("images"));
    TTempDir game;
    std::filesystem::create_directories(game.Path(Levels));
    game.Write(Levels + "B\xC3\xA9rlin.rfa", LevelArchive("B\xE9rlin", SmallLevel(), true));
    home.Dir.Write("Tarvel.ini", "GameFolder=" + game.Path("game") + "\r\n");
    const std::string log = home.Dir.Write("log.xml", MapRound("B\xE9rlin"));
    TToolRun run = RunOrnwickTool({"replay", log, "0", "--home", home.Dir.Path("")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Images(home), (std::vector<std::string>{"b\xC3\xA9rlin.jpg", "b\xC3\xA9rlinOBS.con"})); // lower case, as ever
    TTextList settings;
    settings.LoadFromFile(home.Ini());
    EXPECT_FALSE(settings.Values("B\xE9rlin_CORRECTIONY").empty());
    // Found again, without the game: no import, and the picture loads.
    home.Dir.Write("Tarvel.ini", settings.Text().substr(settings.Text().find("\r\n") + 2));
    run = RunOrnwickTool({"render", log, "0", "--at", "20", "--out", home.Dir.Path("shot.png"), "--home", home.Dir.Path("")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    // An archive of the user's named in UTF-8 prints its name once encoded.
    THome other;
    std::filesystem::create_directory(other.Dir.Path("images"));
    const std::string archive = game.Write("\xC3\xBCmlaut.rfa", LevelArchive("\xFCmlaut", SmallLevel(), true));
    run = RunOrnwickTool({"import-map", archive, "--home", other.Dir.Path("")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, 17), "{\"map\":\"\xC3\xBCmlaut\",");
    EXPECT_EQ(Images(other), (std::vector<std::string>{"\xC3\xBCmlaut.jpg", "\xC3\xBCmlautOBS.con"}));
}
