// Maps from the player's game in the window: a round on a map without a picture is imported
// from the game folder when it is selected, once; "Import map…" imports from a level archive
// and shows the selected round on its new picture.
#include "../ToolRun.h"
#include "../replay/ReplayLog.h"
#include "base/Files.h"
#include "base/TextList.h"
#include "level/LevelTestFiles.h"
#include "level/MapImport.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace replaylog;

namespace {

// A game folder with one level, "Small", in the game's own mod.
struct TGame {
    TTempDir dir;
    std::string Folder() const { return dir.Path("game"); }
    explicit TGame(int tileSide = 64)
    {
        std::filesystem::create_directories(dir.Path("game/Mods/bf1942/Archives/bf1942/levels"));
        dir.Write("game/Mods/bf1942/Archives/bf1942/levels/Small.rfa", LevelArchive("Small", SmallLevel(tileSide), true));
    }
};

const std::string SmallRounds = Log(Round(Ev("spawnEvent", "10", 3, "300/50/400", {{"team", "1"}}) +
                                          Ev("spawnEvent", "12", 5, "310/50/420", {{"team", "2"}}) +
                                          Ev("spawnEvent", "60", 7, "320/50/420", {{"team", "2"}}), "Small") +
                                    Round(Ev("spawnEvent", "100", 3, "300/50/400", {{"team", "1"}}), "Small"));

std::vector<std::string> Images(const THome& home)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(home.Dir.Path("images")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Presses Cancel on the import's progress dialog as soon as it shows.
void CancelTheImportWhenItShows()
{
    QTimer::singleShot(0, [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(widget); progress && progress->isVisible())
                progress->cancel();
    });
}

} // namespace

TEST(ImportMapWindow, ARoundOnAMapWithoutAPictureIsImportedFromTheGameFolderOnce)
{
    TGame game;
    TReplay r(SmallRounds, "GameFolder=" + game.Folder() + "\r\n");
    TTarvelMain& w = r.window;
    EXPECT_EQ(w.MapImports().GameFolder(), game.Folder());
    r.Select(0);
    EXPECT_TRUE(r.errors.Messages.empty()) << r.errors.Messages.front();
    EXPECT_FALSE(w.MapPictureMissing());
    EXPECT_EQ(w.MapImage().Height, 2048);
    EXPECT_EQ(w.MapObjects().Count(), 7);
    EXPECT_EQ(Images(r.home), (std::vector<std::string>{"small.jpg", "smallOBS.con"}));
    // The calibration saved, and taken by the selection before the first event.
    TTextList saved;
    saved.LoadFromFile(r.home.Ini());
    ASSERT_FALSE(saved.Values("small_CORRECTIONY").empty());
    EXPECT_EQ(std::to_string(w.Calibration().YScale), saved.Values("small_CORRECTIONY"));
    EXPECT_EQ(saved.Values("GameFolder"), game.Folder());
    EXPECT_TRUE(w.Timer1->isActive());

    // Never twice: with the files gone, the next selection does not import again.
    for (const std::string& name : Images(r.home))
        std::filesystem::remove(r.home.Dir.Path("images/" + name));
    r.Select(1);
    EXPECT_TRUE(w.MapPictureMissing());
    EXPECT_TRUE(Images(r.home).empty());
}

TEST(ImportMapWindow, AGameWithoutTheLevelIsSaidOnceAndTheRoundPlaysOn)
{
    TTempDir empty;
    std::filesystem::create_directories(empty.Path("game/Mods/bf1942/Archives/bf1942/levels"));
    TReplay r(SmallRounds, "GameFolder=" + empty.Path("game") + "\r\n");
    r.Select(0);
    // Said in the notice over the map, not in an error box (MapNoticeTest).
    EXPECT_TRUE(r.errors.Messages.empty()) << r.errors.Messages.front();
    EXPECT_NE(r.window.MapImports().MapNoticeText().find("Small"), std::string::npos)
        << r.window.MapImports().MapNoticeText();
    EXPECT_TRUE(r.window.MapPictureMissing());
    EXPECT_TRUE(r.window.Timer1->isActive());
    r.Select(1);
    EXPECT_TRUE(r.errors.Messages.empty());
    // Without a game folder nothing is tried.
    TReplay bare(SmallRounds);
    bare.Select(0);
    EXPECT_TRUE(bare.errors.Messages.empty());
    EXPECT_TRUE(Images(bare.home).empty());
}

TEST(ImportMapWindow, AnImportFromAnArchiveShowsTheSelectedRoundOnItsPicture)
{
    TGame game;
    TReplay r(SmallRounds);
    TTarvelMain& w = r.window;
    r.Select(0);
    r.Ticks(30);
    const double time = w.ReplayTime();
    ASSERT_TRUE(w.MapPictureMissing());
    ASSERT_TRUE(w.MapImports().ImportMapFrom(game.dir.Path("game/Mods/bf1942/Archives/bf1942/levels/Small.rfa"),
                                             "Small", "", "GPM_CQ", true));
    EXPECT_TRUE(r.errors.Messages.empty()) << r.errors.Messages.front();
    EXPECT_FALSE(w.MapPictureMissing());
    EXPECT_EQ(w.MapObjects().Count(), 7);
    EXPECT_GT(w.ReplayTime(), 11.0); // moved on from the round's start as a seek to the moment does
    EXPECT_LE(w.ReplayTime(), time + 1e-6);
    EXPECT_EQ(Images(r.home), (std::vector<std::string>{"small.jpg", "smallOBS.con"}));
}

TEST(ImportMapWindow, ACancelledImportWritesNothingAndTheRoundPlaysOn)
{
    TGame game;
    TReplay r(SmallRounds, "GameFolder=" + game.Folder() + "\r\n");
    TTarvelMain& w = r.window;
    CancelTheImportWhenItShows();
    r.Select(0);
    EXPECT_TRUE(r.errors.Messages.empty()) << r.errors.Messages.front();
    EXPECT_TRUE(w.MapPictureMissing());
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_TRUE(Images(r.home).empty());
    EXPECT_EQ(ReadWholeFile(r.home.Ini()), "GameFolder=" + game.Folder() + "\r\n");

    // From the menu's dialog: the round goes on where it was, on no picture.
    r.Ticks(30);
    const double time = w.ReplayTime();
    CancelTheImportWhenItShows();
    EXPECT_FALSE(w.MapImports().ImportMapFrom(game.Folder(), "Small", "", "GPM_CQ", false));
    EXPECT_TRUE(r.errors.Messages.empty()) << r.errors.Messages.front();
    EXPECT_EQ(w.ReplayTime(), time);
    EXPECT_TRUE(w.MapPictureMissing());
    EXPECT_TRUE(Images(r.home).empty());
}

TEST(ImportMapWindow, TheImportDialogFindsAnArchiveWhosePathIsNotAscii)
{
    // The file system names it in UTF-8, as the dialog's text shows it.
    TTempDir dir;
    const std::string archive = dir.Write("B\xC3\xA9rlin levels.rfa", LevelArchive("Small", SmallLevel(), true));
    TReplay r(SmallRounds);
    QTimer::singleShot(0, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->objectName() == "ImportMap") {
                dialog->findChild<QLineEdit*>("ESource")->setText(QString::fromUtf8(archive.c_str()));
                dialog->findChild<QLineEdit*>("EMap")->setText("Small");
                dialog->accept();
            }
    });
    r.window.MapImports().ImportMap1Click();
    EXPECT_EQ(Images(r.home), (std::vector<std::string>{"small.jpg", "smallOBS.con"}));
}

// The threads of this process, as the system counts them, less the idle ones of Qt's pools, which
// the picture scaling leaves behind for a while.
size_t ThreadCount()
{
    size_t count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        count += ReadWholeFile(task.path().string() + "/comm") != "Thread (pooled)\n";
    return count;
}

TEST(ImportMapWindow, ACancelledImportHasEndedWhenTheWindowHas)
{
    // An import left running past its window would run on through the program's teardown. Large
    // tiles keep it running well past the cancel.
    TGame game(2048);
    {
        // The threads the toolkit starts with a first window and keeps are there before the count.
        TGame small;
        TReplay r(SmallRounds, "GameFolder=" + small.Folder() + "\r\n");
        r.Select(0);
    }
    const size_t before = ThreadCount();
    {
        TReplay r(SmallRounds, "GameFolder=" + game.Folder() + "\r\n");
        CancelTheImportWhenItShows();
        r.Select(0);
        ASSERT_TRUE(r.window.MapPictureMissing());
    }
    EXPECT_EQ(ThreadCount(), before);
}

TEST(ImportMapWindow, TheToolImportsAMissingMapAsTheWindowDoesBeforeItReplaysRendersFilmsOrFits)
{
    TGame game;
    const std::string ini = "GameFolder=" + game.Folder() + "\r\n";
    // The window's replay of the round to its end, on the map it imported.
    TReplay r(SmallRounds, ini);
    r.Select(0);
    r.RunToEnd();
    ASSERT_TRUE(r.errors.Messages.empty()) << r.errors.Messages.front();
    std::ostringstream shown;
    PrintReplay(shown, r.window, r.window.ReplayTicks());
    const std::string log = r.home.Dir.Path("log.xml");
    const std::string settings = ReadWholeFile(r.home.Ini());
    ASSERT_NE(settings.find("small_CORRECTIONY="), std::string::npos) << settings;

    const std::vector<std::vector<std::string>> commands = {
        {"replay"}, {"fit"}, {"render", "--at", "20", "--out", "shot.png"}, {"video", "--size", "64", "--out", "film.mp4"}};
    for (const std::vector<std::string>& command : commands) {
        SCOPED_TRACE(command.front());
        THome home;
        std::filesystem::create_directory(home.Dir.Path("images"));
        home.Dir.Write("Tarvel.ini", ini);
        std::vector<std::string> args{command.front(), log, "0", "--home", home.Dir.Path("")};
        for (size_t i = 1; i < command.size(); ++i)
            args.push_back(command[i].find('.') == std::string::npos ? command[i] : home.Dir.Path(command[i]));
        const TToolRun run = RunOrnwickTool(args);
        EXPECT_EQ(run.status, 0) << run.err;
        if (command.front() != "video") // which tells its progress there
            EXPECT_EQ(run.err, "");
        EXPECT_EQ(Images(home), (std::vector<std::string>{"small.jpg", "smallOBS.con"}));
        EXPECT_EQ(ReadWholeFile(home.Ini()), settings);
        if (command.front() == "replay")
            EXPECT_EQ(run.out, shown.str());
    }
}

// A modification's archive of scripts only, in a game whose own mod lacks the level: selecting
// its round imports the map on the world's grid, with its objects and calibration, and the
// markers stand on the picture.
TEST(ImportMapWindow, AModificationsScriptsAloneGiveTheRoundAGridPicture)
{
    TTempDir game;
    std::filesystem::create_directories(game.Path("game/Mods/bf1942/Archives/bf1942/levels"));
    std::filesystem::create_directories(game.Path("game/Mods/mymod/Archives/bf1942/levels"));
    std::vector<TRfaFile> scripts = SmallLevel();
    std::erase_if(scripts, [](const TRfaFile& f) { return f.Path.find("extures/") != std::string::npos; });
    game.Write("game/Mods/mymod/Archives/bf1942/levels/Small.rfa", LevelArchive("Small", scripts, false));
    std::string rounds = SmallRounds;
    for (size_t at = 0; (at = rounds.find("<bf:server>", at)) != std::string::npos; at += 11)
        rounds.insert(at + 11, "<bf:setting name=\"modid\">mymod</bf:setting>");
    TReplay r(rounds, "GameFolder=" + game.Path("game") + "\r\n");
    TTarvelMain& w = r.window;
    r.Select(0);
    EXPECT_TRUE(r.errors.Messages.empty()) << r.errors.Messages.front();
    EXPECT_FALSE(w.MapPictureMissing());
    EXPECT_EQ(w.MapImage().Height, 2400);
    EXPECT_EQ(w.MapObjects().Count(), 7);
    EXPECT_EQ(Images(r.home), (std::vector<std::string>{"small.jpg", "smallOBS.con"}));
    // The first spawn, at 300/400 of a world of 1024, lies within the picture as drawn.
    const TCalibration c = w.Calibration();
    EXPECT_NEAR(CalibratedMapX(c, 300), 300.0 / 1024 * DrawnMapSize, 2);
    EXPECT_NEAR(CalibratedMapY(c, 2400, 400), (1024 - 400.0) / 1024 * DrawnMapSize, 2);
}

// The tool as the user starts it, with no display: a replay or a fit that imports a map onto
// the grid, whose labels need fonts, makes its offscreen GUI application for the import.
TEST(ImportMapWindow, TheToolImportsAGridPictureWithoutADisplay)
{
    TTempDir game;
    std::filesystem::create_directories(game.Path("game/Mods/bf1942/Archives/bf1942/levels"));
    std::vector<TRfaFile> scripts = SmallLevel();
    std::erase_if(scripts, [](const TRfaFile& f) { return f.Path.find("extures/") != std::string::npos; });
    game.Write("game/Mods/bf1942/Archives/bf1942/levels/Small.rfa", LevelArchive("Small", scripts, false));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    for (const char* command : {"replay", "fit"}) {
        SCOPED_TRACE(command);
        THome home;
        std::filesystem::create_directory(home.Dir.Path("images"));
        home.Dir.Write("Tarvel.ini", "GameFolder=" + game.Path("game") + "\r\n");
        const std::string log = home.Dir.Write("log.xml", SmallRounds);
        QProcess tool;
        tool.setProcessEnvironment(environment);
        tool.start(QString::fromUtf8(ORNWICK_BIN_DIR) + QStringLiteral("/ornwick"),
                   {QString::fromLatin1(command), QString::fromStdString(log), QStringLiteral("0"), QStringLiteral("--home"),
                    QString::fromStdString(home.Dir.Path(""))});
        ASSERT_TRUE(tool.waitForFinished(60000));
        const std::string err = tool.readAllStandardError().toStdString();
        EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit) << err;
        EXPECT_EQ(tool.exitCode(), 0) << err;
        EXPECT_EQ(err, "");
        EXPECT_FALSE(tool.readAllStandardOutput().isEmpty());
        EXPECT_EQ(Images(home), (std::vector<std::string>{"small.jpg", "smallOBS.con"}));
    }
}
