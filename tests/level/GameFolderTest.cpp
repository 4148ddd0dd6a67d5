// What a game folder is, the one the settings name, and the search for the game in a home folder
// laid out as a Linux player's (HOME set to a folder of the test's own).
#include "TestUtil.h"
#include "base/TextList.h"
#include "level/GameFolder.h"
#include "level/Level.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace {

// A game installed at `folder` of the home: its levels folder, in the letter case given.
std::string Install(const TTempDir& home, const std::string& folder,
                    const std::string& levels = "Mods/bf1942/Archives/bf1942/levels")
{
    fs::create_directories(home.Path(folder + "/" + levels));
    return home.Path(folder);
}


std::optional<std::string> Found(const TTempDir& home)
{
    const THomeSet set(home.Path(""));
    return FindGame(HomeFolder());
}

} // namespace

TEST(GameFolder, OnlyAFolderHoldingModsIsAGameFolder)
{
    TTempDir dir;
    const std::string game = Install(dir, "game", "mods/bf1942");
    fs::create_directories(dir.Path("level/Init"));
    dir.Write("level/Init/Terrain.con", "GeometryTemplate.worldSize 1024\r\n");
    const std::string archive = dir.Write("Small.rfa", "rfa");
    EXPECT_TRUE(IsGameFolder(game)); // "Mods" in any letter case
    for (const std::string& other : {dir.Path("level"), archive, dir.Path("game/mods"), dir.Path("missing"),
                                     std::string()}) {
        SCOPED_TRACE(other);
        EXPECT_FALSE(IsGameFolder(other));
        try {
            CheckGameFolder(other);
            ADD_FAILURE() << "accepted";
        } catch (const ELevelError& error) {
            EXPECT_NE(error.Message().find("is not a game folder: a game folder"), std::string::npos);
            EXPECT_NE(error.Message().find("Mods"), std::string::npos) << error.Message();
        }
    }
    dir.Write("file/Mods", "a file, not a folder");
    EXPECT_FALSE(IsGameFolder(dir.Path("file")));

    // The saved value: used when it is a game folder, else never, with why.
    TTextList settings;
    EXPECT_EQ(SavedGameFolder(settings).Folder, "");
    EXPECT_EQ(SavedGameFolder(settings).Problem, "");
    settings.SetValue("gamefolder", game);
    EXPECT_EQ(SavedGameFolder(settings).Folder, game);
    EXPECT_EQ(SavedGameFolder(settings).Problem, "");
    settings.SetValue("GameFolder", archive);
    EXPECT_EQ(SavedGameFolder(settings).Folder, "");
    EXPECT_EQ(SavedGameFolder(settings).Problem,
              "The setting GameFolder is not used: " + NotAGameFolder(archive));
}

TEST(GameFolder, TheGameIsFoundInWineAndProtonPrefixesAndInGames)
{
    {
        TTempDir home; // nothing there
        EXPECT_EQ(Found(home), std::nullopt);
        EXPECT_EQ(FindGame(""), std::nullopt);
    }
    {
        TTempDir home;
        const std::string game = Install(home, ".wine/drive_c/Program Files/EA GAMES/Battlefield 1942");
        Install(home, "Games/bf1942"); // searched after the Wine prefix
        EXPECT_EQ(Found(home), game);
    }
    {
        TTempDir home;
        const std::string game = Install(home, ".local/share/wineprefixes/bf/drive_c/Games/BF1942");
        EXPECT_EQ(Found(home), game);
    }
    {
        // Proton's prefix, the game's folders in the letter case of a Windows install, reached
        // through ~/.steam/steam, which links to the Steam folder.
        TTempDir home;
        const std::string game = Install(home, ".local/share/Steam/steamapps/compatdata/24960/pfx/drive_c/Origin Games/BF",
                                         "MODS/BF1942/archives/BF1942/Levels");
        fs::create_directories(home.Path(".steam"));
        fs::create_directory_symlink(home.Path(".local/share/Steam"), home.Path(".steam/steam"));
        const std::optional<std::string> found = Found(home);
        ASSERT_TRUE(found);
        EXPECT_TRUE(fs::equivalent(*found, game)) << *found;
    }
    {
        // Lutris: a prefix of its own in ~/Games, five levels down.
        TTempDir home;
        const std::string game = Install(home, "Games/battlefield-1942/drive_c/Program Files/EA GAMES/Battlefield 1942");
        EXPECT_EQ(Found(home), game);
    }
}

TEST(GameFolder, TheSearchPassesOverWhatIsNoGameAndStaysBounded)
{
    {
        // A mod's folder alone, a folder holding Mods without the game's levels, a game too deep,
        // and a game reached only through a link in a prefix (which links the whole disk there).
        TTempDir home;
        Install(home, "Games/mymod", "Mods/mymod/Archives/bf1942/levels");
        Install(home, "Games/a/b/c/d/e/bf1942");
        Install(home, "elsewhere/bf1942");
        fs::create_directories(home.Path(".wine/drive_c"));
        fs::create_directory_symlink(home.Path("elsewhere"), home.Path(".wine/drive_c/z"));
        fs::create_directory_symlink(home.Path(".wine/drive_c"), home.Path(".wine/drive_c/loop"));
        EXPECT_EQ(Found(home), std::nullopt);
        // Five levels below a place is found, six is not.
        const std::string game = Install(home, "Games/a/b/c/d/bf1942");
        EXPECT_EQ(Found(home), game);
    }
    {
        // Cancelled, or out of time: nothing, at once.
        TTempDir home;
        Install(home, "Games/bf1942");
        std::atomic<bool> cancel{true};
        TGameSearch search;
        search.Cancel = &cancel;
        EXPECT_EQ(FindGame(home.Path(""), search), std::nullopt);
        cancel = false;
        EXPECT_EQ(FindGame(home.Path(""), search), home.Path("Games/bf1942"));
        search.Budget = std::chrono::milliseconds(0);
        EXPECT_EQ(FindGame(home.Path(""), search), std::nullopt);
    }
}
