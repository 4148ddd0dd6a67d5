#include "LevelTestFiles.h"
#include "level/Level.h"
#include "level/LevelObjects.h"

#include <gtest/gtest.h>

TEST(Level, FolderAndArchivesMatchNamesInAnyCase)
{
    TTempDir dir;
    std::vector<TLevel> levels;
    levels.push_back(TLevel::FromFolder(WriteLevelFolder(dir, "Small", SmallLevel())));
    for (const bool compressed : {false, true})
        levels.push_back(TLevel::FromArchive(dir.Write(compressed ? "packed.rfa" : "Small.rfa", LevelArchive("Small", SmallLevel(), compressed))));
    for (const TLevel& level : levels) {
        EXPECT_EQ(ReadWorldSize(level), 1024) << level.Source();
        EXPECT_TRUE(level.Has("TEXTURES/tx02X01.dds")) << level.Source();
        EXPECT_EQ(level.PathsUnder("textures/tx").size(), 3u) << level.Source();
        EXPECT_EQ(*level.Read("conquest/objectspawns.CON"), SmallLevel()[8].Content) << level.Source();
        EXPECT_FALSE(level.Read("Ctf/ObjectSpawns.con")) << level.Source();
    }
}

TEST(Level, WhatIsNoLevel)
{
    TTempDir dir;
    WriteLevelFolder(dir, "NoTerrain", {{"Init.con", "x"}});
    EXPECT_EQ(MessageOf([&] { TLevel::FromFolder(dir.Path("NoTerrain")); }),
              dir.Path("NoTerrain") + " is no level folder: it has no Init/Terrain.con");
    EXPECT_EQ(MessageOf([&] { TLevel::FromFolder(dir.Path("absent")); }), dir.Path("absent") + " is no folder");
    const std::string other = dir.Write("other.rfa", WriteRfaArchive({{"bf1942/Game/x.con", "x"}}, false));
    EXPECT_EQ(MessageOf([&] { TLevel::FromArchive(other); }), other + " is no level archive: it has no Init/Terrain.con");
    std::vector<TRfaFile> noSize = SmallLevel();
    noSize[0].Content = "GeometryTemplate.worldSize\r\n";
    EXPECT_EQ(MessageOf([&] { ReadWorldSize(TLevel::FromFolder(WriteLevelFolder(dir, "NoSize", noSize))); }),
              dir.Path("NoSize") + ": Init/Terrain.con gives no GeometryTemplate.worldSize");
}

TEST(Level, GameFolderTakesTheModOverTheOriginal)
{
    TTempDir dir;
    const auto put = [&](const std::string& mod, const std::string& archive, const std::string& bytes) {
        const std::string folder = dir.Path("Game/mods/" + mod + "/ARCHIVES/bf1942/Levels/");
        std::filesystem::create_directories(folder);
        dir.Write("Game/mods/" + mod + "/ARCHIVES/bf1942/Levels/" + archive, bytes);
    };
    put("BF1942", "small.rfa", LevelArchive("small", SmallLevel(), true));
    // The modification changes its control points only.
    put("Pirates", "Small.rfa",
        LevelArchive("Small", {{"Conquest/ControlPoints.con", "Object.create X\r\nObject.absolutePosition 1/2/3\r\n"}}, false));
    const TLevel modded = TLevel::FromGameFolder(dir.Path("Game"), "Small", "pirates");
    EXPECT_EQ(*modded.Read("conquest/controlpoints.con"), "Object.create X\r\nObject.absolutePosition 1/2/3\r\n");
    EXPECT_TRUE(modded.Has("textures/tx01x01.dds"));
    EXPECT_EQ(ReadWorldSize(modded), 1024);
    const TLevel original = TLevel::FromGameFolder(dir.Path("Game"), "small", "bf1942");
    EXPECT_EQ(*original.Read("conquest/controlpoints.con"), SmallLevel()[6].Content);
    // A mod without the level falls back to the original's.
    EXPECT_TRUE(TLevel::FromGameFolder(dir.Path("Game"), "small", "DesertCombat").Has("init/terrain.con"));
    EXPECT_NE(MessageOf([&] { TLevel::FromGameFolder(dir.Path("Game"), "berlin", "bf1942"); }).find("No level berlin in"),
              std::string::npos);
    EXPECT_EQ(MessageOf([&] { TLevel::FromGameFolder(dir.Path("Small"), "small", "bf1942"); }),
              dir.Path("Small") + " is no game folder: it has no Mods folder");
}
