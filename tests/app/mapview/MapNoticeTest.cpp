// The notice over the map view: an import that cannot be made never stops the replay, in the
// window or in the tool; a saved game folder that is not one is said once and never used; the
// game found in the home folder is offered and taken with one click.
#include "../ToolRun.h"
#include "../replay/ReplayLog.h"
#include "base/Files.h"
#include "level/Level.h"
#include "level/LevelTestFiles.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

using namespace replaylog;

namespace {

const std::string SmallRounds = Log(Round(Ev("spawnEvent", "10", 3, "300/50/400", {{"team", "1"}}) +
                                          Ev("spawnEvent", "12", 5, "310/50/420", {{"team", "2"}}) +
                                          Ev("spawnEvent", "60", 7, "320/50/420", {{"team", "2"}}), "Small") +
                                    Round(Ev("spawnEvent", "100", 3, "300/50/400", {{"team", "1"}}), "Small"));

// A game at `folder` of dir; with the level "Small" when asked.
std::string Game(const TTempDir& dir, const std::string& folder, bool withSmall)
{
    std::filesystem::create_directories(dir.Path(folder + "/Mods/bf1942/Archives/bf1942/levels"));
    if (withSmall)
        dir.Write(folder + "/Mods/bf1942/Archives/bf1942/levels/Small.rfa", LevelArchive("Small", SmallLevel(), true));
    return dir.Path(folder);
}

bool NoticeShown(const TTarvelMain& w) { return !w.MapImports().MapNotice1->isHidden(); }


// Serves the window's events until the search for the game has ended (a few seconds at most).
void WaitForTheSearch(const TTarvelMain& w)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (w.MapImports().GameSearchRunning() && std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    QCoreApplication::processEvents();
}

} // namespace

TEST(MapNotice, AGameWithoutTheLevelIsSaidInTheNoticeAndTheRoundPlaysOn)
{
    TTempDir dir;
    const std::string game = Game(dir, "game", false);
    TReplay r(SmallRounds, "GameFolder=" + game + "\r\n");
    TTarvelMain& w = r.window;
    EXPECT_FALSE(NoticeShown(w)); // nothing to say before a round
    r.Select(0);
    // No error box: the notice says it, and the round runs.
    EXPECT_TRUE(r.errors.Messages.empty()) << r.errors.Messages.front();
    ASSERT_TRUE(NoticeShown(w));
    EXPECT_EQ(w.MapImports().MapNoticeText().rfind("No picture of Small: No level Small in " + game, 0), 0u)
        << w.MapImports().MapNoticeText();
    EXPECT_TRUE(w.MapImports().BNoticeGameFolder->isVisibleTo(w.MapImports().MapNotice1));
    EXPECT_TRUE(w.MapImports().BNoticeImportMap->isVisibleTo(w.MapImports().MapNotice1));
    EXPECT_FALSE(w.MapImports().BUseFoundGame->isVisibleTo(w.MapImports().MapNotice1));
    EXPECT_TRUE(w.Timer1->isActive());
    r.Ticks(30);
    EXPECT_GT(w.ReplayTime(), 12.0);
    EXPECT_TRUE(w.MapPictureMissing());
    // Another log opened: no round is selected, so there is nothing to say.
    w.OpenLog(w.LogFileName());
    EXPECT_FALSE(NoticeShown(w));
    r.Select(0);
    ASSERT_TRUE(NoticeShown(w));

    // Tried once: the same map's other round says the same, and tries nothing.
    r.Select(1);
    EXPECT_TRUE(r.errors.Messages.empty());
    EXPECT_EQ(w.MapImports().MapNoticeText().rfind("No picture of Small: No level Small", 0), 0u)
        << w.MapImports().MapNoticeText();

    // The game gets the level: once the game folder is set anew, the map is tried again and
    // the notice goes.
    Game(dir, "game", true);
    w.MapImports().SetGameFolder(game);
    r.Select(1);
    EXPECT_FALSE(w.MapPictureMissing());
    EXPECT_FALSE(NoticeShown(w));
    EXPECT_EQ(w.MapImports().MapNoticeText(), "");
}

TEST(MapNotice, TheNoticeLiesOverTheTopOfTheMapViewAndMovesNothing)
{
    TTempDir dir;
    TReplay r(SmallRounds, "GameFolder=" + Game(dir, "game", false) + "\r\n");
    TTarvelMain& w = r.window;
    w.show();
    const QRect box = w.ScrollBox1->geometry();
    r.Select(0);
    QCoreApplication::processEvents();
    ASSERT_TRUE(w.MapImports().MapNotice1->isVisible());
    const QRect view = w.ScrollBox1->viewport()->geometry();
    EXPECT_EQ(w.ScrollBox1->geometry(), box);
    EXPECT_EQ(w.MapImports().MapNotice1->parentWidget(), w.ScrollBox1);
    EXPECT_EQ(w.MapImports().MapNotice1->geometry().topLeft(), view.topLeft());
    EXPECT_EQ(w.MapImports().MapNotice1->width(), view.width());
    EXPECT_GT(w.MapImports().MapNotice1->height(), 20);
    EXPECT_LT(w.MapImports().MapNotice1->height(), view.height() / 2);
    // Every other control stands where it stood without the notice.
    std::vector<std::pair<QWidget*, QRect>> shown;
    for (QWidget* widget : w.findChildren<QWidget*>())
        if (widget != w.MapImports().MapNotice1 && !w.MapImports().MapNotice1->isAncestorOf(widget))
            shown.emplace_back(widget, widget->geometry());
    w.MapImports().BNoticeClose->click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(NoticeShown(w));
    for (const auto& [widget, geometry] : shown)
        if (widget != w.BigPicture) // the minimap takes the size of each frame drawn
            EXPECT_EQ(widget->geometry(), geometry) << widget->objectName().toStdString();
    EXPECT_EQ(w.ScrollBox1->viewport()->geometry(), view);
    // Said again on the next selection, and it follows the view's width.
    r.Select(1);
    w.resize(w.width() + 200, w.height());
    QCoreApplication::processEvents();
    EXPECT_TRUE(NoticeShown(w));
    EXPECT_EQ(w.MapImports().MapNotice1->width(), w.ScrollBox1->viewport()->width());
    EXPECT_TRUE(r.errors.Messages.empty()) << r.errors.Messages.front();
}

TEST(MapNotice, ASavedGameFolderThatIsNoneIsSaidOnceAndNeverUsed)
{
    // A level archive saved as the game folder, as "Game folder…" once let one be.
    TTempDir dir;
    Game(dir, "game", true);
    const std::string level = dir.Path("game/Mods/bf1942/Archives/bf1942/levels/Small.rfa");
    TReplay r(SmallRounds, "GameFolder=" + level + "\r\n");
    TTarvelMain& w = r.window;
    EXPECT_EQ(w.MapImports().GameFolder(), "");
    r.Select(0);
    EXPECT_TRUE(r.errors.Messages.empty()) << r.errors.Messages.front();
    EXPECT_TRUE(w.MapPictureMissing()); // nothing imported from it
    EXPECT_TRUE(std::filesystem::is_empty(r.home.Dir.Path("images")));
    EXPECT_EQ(w.MapImports().MapNoticeText(), "The setting GameFolder is not used: " + level +
                                     " is not a game folder: a game folder is the one the game is installed in, "
                                     "holding its Mods folder (with the levels in Mods/bf1942/Archives/bf1942/levels)");
    r.Select(1);
    EXPECT_FALSE(NoticeShown(w)); // said once
    EXPECT_TRUE(w.MapPictureMissing());

    // Setting one: only a game folder is taken.
    for (const std::string& bad : {level, dir.Path("game/Mods"), dir.Path("nothing")}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(w.MapImports().SetGameFolder(bad), ELevelError);
        EXPECT_EQ(w.ProgramFiles().Settings().Values("GameFolder"), level);
    }
    w.MapImports().SetGameFolder(dir.Path("game"));
    EXPECT_EQ(w.MapImports().GameFolder(), dir.Path("game"));
}

TEST(MapNotice, TheGameFoundInTheHomeFolderIsOfferedAndOneClickImportsTheMap)
{
    TTempDir home;
    const std::string game = Game(home, ".wine/drive_c/Program Files/EA GAMES/Battlefield 1942", true);
    const THomeSet set(home.Path(""));
    TReplay r(SmallRounds);
    TTarvelMain& w = r.window;
    w.MapImports().SetGameSearchEnabled(true);
    r.Select(0);
    // The round plays while the search runs.
    EXPECT_TRUE(w.Timer1->isActive());
    WaitForTheSearch(w);
    ASSERT_FALSE(w.MapImports().GameSearchRunning());
    EXPECT_EQ(w.MapImports().FoundGame(), game);
    EXPECT_EQ(w.MapImports().MapNoticeText(), "No picture of Small. Use the game in " + game + "?");
    EXPECT_TRUE(w.MapImports().BUseFoundGame->isVisibleTo(w.MapImports().MapNotice1));
    EXPECT_EQ(w.ProgramFiles().Settings().Values("GameFolder"), ""); // nothing set before the click
    r.Ticks(10); // before the round's end at its second-to-last event (12 s)
    const double time = w.ReplayTime();
    ASSERT_TRUE(w.Timer1->isActive());
    w.MapImports().BUseFoundGame->click();
    EXPECT_TRUE(r.errors.Messages.empty()) << r.errors.Messages.front();
    EXPECT_EQ(w.ProgramFiles().Settings().Values("GameFolder"), game);
    EXPECT_FALSE(w.MapPictureMissing());
    EXPECT_EQ(w.MapObjects().Count(), 7);
    EXPECT_FALSE(NoticeShown(w));
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_NEAR(w.ReplayTime(), time, 1.0); // back where it was
}

TEST(MapNotice, WithoutAGameFoundTheNoticeSaysSoAndTheWindowCanGoWhileItSearches)
{
    TTempDir home;
    const THomeSet set(home.Path(""));
    {
        TReplay r(SmallRounds);
        r.window.MapImports().SetGameSearchEnabled(true);
        r.Select(0);
        WaitForTheSearch(r.window);
        EXPECT_EQ(r.window.MapImports().FoundGame(), "");
        EXPECT_EQ(r.window.MapImports().MapNoticeText().rfind("No picture of Small: no game folder is set", 0), 0u)
            << r.window.MapImports().MapNoticeText();
        EXPECT_FALSE(r.window.MapImports().BUseFoundGame->isVisibleTo(r.window.MapImports().MapNotice1));
        EXPECT_TRUE(r.errors.Messages.empty());
    }
    {
        // Gone at once: the search is cancelled and joined, nothing of it runs on.
        auto r = std::make_unique<TReplay>(SmallRounds);
        r->window.MapImports().SetGameSearchEnabled(true);
        r->Select(0);
        EXPECT_TRUE(r->window.MapImports().GameSearchRunning() || r->window.MapImports().FoundGame().empty());
        r.reset();
        QCoreApplication::processEvents();
    }
    {
        // Without the search (the tool, and a window not asked) nothing is said, as before.
        TReplay r(SmallRounds);
        r.Select(0);
        EXPECT_FALSE(r.window.MapImports().GameSearchRunning());
        EXPECT_FALSE(NoticeShown(r.window));
    }
}

TEST(MapNotice, TheToolSaysWhatTheNoticeSaysOnStandardErrorAndGoesOn)
{
    TTempDir dir;
    const std::string game = Game(dir, "game", false);
    const std::string level = Game(dir, "other", true) + "/Mods/bf1942/Archives/bf1942/levels/Small.rfa";
    THome logHome;
    const std::string log = logHome.Dir.Write("log.xml", SmallRounds);
    const std::vector<std::vector<std::string>> commands = {
        {"replay"}, {"fit"}, {"render", "--at", "20", "--out", "shot.png"}, {"video", "--size", "64", "--out", "film.mp4"}};
    for (const std::string& folder : {game, level}) {
        for (const std::vector<std::string>& command : commands) {
            SCOPED_TRACE(command.front() + " " + folder);
            THome home;
            std::filesystem::create_directory(home.Dir.Path("images"));
            home.Dir.Write("Tarvel.ini", "GameFolder=" + folder + "\r\n");
            std::vector<std::string> args{command.front(), log, "0", "--home", home.Dir.Path("")};
            for (size_t i = 1; i < command.size(); ++i)
                args.push_back(command[i].find('.') == std::string::npos ? command[i] : home.Dir.Path(command[i]));
            const TToolRun run = RunOrnwickTool(args);
            EXPECT_EQ(run.status, 0) << run.err;
            const std::string said = folder == game ? "No picture of Small: No level Small in " + game
                                                    : "The setting GameFolder is not used: " + level + " is not a game folder";
            EXPECT_EQ(run.err.rfind(said, 0), 0u) << run.err;
            EXPECT_EQ(run.err.find(said, 1), std::string::npos) << run.err; // once
            EXPECT_TRUE(std::filesystem::is_empty(home.Dir.Path("images")));
            if (command.front() == "replay" || command.front() == "fit")
                EXPECT_NE(run.out, "");
            else
                EXPECT_TRUE(PathExists(args.back())) << args.back();
        }
    }
}
