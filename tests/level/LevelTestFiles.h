#pragma once

// Small levels made in the tests: a level's files as a folder (in mixed letter case, as levels
// come) or as an archive, with solid-colour DXT1 tiles.

#include "TestUtil.h"
#include "level/LevelPicture.h"
#include "level/RfaArchive.h"

#include <QImage>

#include <filesystem>
#include <string>
#include <vector>

// A tile whose low-Z half (pixel rows 0 to side/2) is `low` and the other half `high`.
inline std::string TileDds(int side, QRgb low, QRgb high)
{
    QImage tile(side, side, QImage::Format_RGB32);
    tile.fill(high);
    for (int y = 0; y < side / 2; ++y)
        for (int x = 0; x < side; ++x)
            tile.setPixel(x, y, low);
    return EncodeDxt1(tile);
}

// Colours that survive DXT1's 5-6-5 bits exactly.
inline constexpr QRgb Red = 0xFFFF0000, Green = 0xFF00FF00, Blue = 0xFF0000FF, White = 0xFFFFFFFF,
                      Black = 0xFF000000, Yellow = 0xFFFFFF00;

// World 1024 (4 x 4 tiles) with tiles at (1,1), (2,1) and (1,2): tile (2,2) of their square is
// missing. Conquest holds control points and spawns exercising templates, teams and comments.
inline std::vector<TRfaFile> SmallLevel(int tileSide = 64)
{
    return {
        {"Init/Terrain.con", "rem the terrain\r\nGeometryTemplate.create PatchTerrain patchGeometry\r\n"
                             "geometryTemplate.WORLDSIZE 1024\r\n"},
        {"Textures/Tx01x01.dds", TileDds(tileSide, Red, Yellow)},
        {"textures/TX02x01.dds", TileDds(tileSide, Green, Green)},
        {"Textures/Tx01x02.DDS", TileDds(tileSide, Blue, Blue)},
        {"Textures/ingamemap.dds", TileDds(tileSide * 2, Black, White)},
        {"Conquest/ControlPointTemplates.con",
         "ObjectTemplate.create ControlPoint AxisBase\r\nObjectTemplate.setControlPointName Hill\r\n"
         "ObjectTemplate.team 1\r\n"
         "ObjectTemplate.create ControlPoint Open\r\nObjectTemplate.radius 5\r\n"},
        {"Conquest/ControlPoints.con",
         "Object.create AxisBase\r\nObject.absolutePosition 300/50/400\r\n"
         "object.CREATE open\r\nOBJECT.absolutePosition 1.5e2/10/3E+2\r\n"
         "Object.create Open\r\nObject.absolutePosition 600/10/600\r\nObject.setTeam 2\r\n"
         "rem Object.create AxisBase\r\nrem Object.absolutePosition 1/1/1\r\n"
         "beginrem\r\nObject.create AxisBase\r\nObject.absolutePosition 2/2/2\r\nendrem\r\n"},
        {"Conquest/ObjectSpawnTemplates.con",
         "ObjectTemplate.create ObjectSpawner TankSpawner\r\nObjectTemplate.setObjectTemplate 1 Tiger\r\n"
         "ObjectTemplate.setObjectTemplate 2 Sherman\r\n"
         "ObjectTemplate.create ObjectSpawner JeepSpawner\r\nObjectTemplate.setObjectTemplate 2 Willys\r\n"},
        {"Conquest/ObjectSpawns.con",
         "Object.create TankSpawner\r\nObject.absolutePosition 310/50/410\r\nObject.setTeam 2\r\n"
         "Object.create TankSpawner\r\nObject.absolutePosition 320/50/420\r\n"
         "Object.create JeepSpawner\r\nObject.absolutePosition 330/50/430\r\n"
         "Object.create StrangeSpawner\r\nObject.absolutePosition 340/50/440\r\n"},
    };
}

inline std::string WriteLevelFolder(const TTempDir& dir, const std::string& name, const std::vector<TRfaFile>& files)
{
    for (const TRfaFile& file : files) {
        const std::filesystem::path path = dir.Path(name + "/" + file.Path);
        std::filesystem::create_directories(path.parent_path());
        dir.Write(name + "/" + file.Path, file.Content);
    }
    return dir.Path(name);
}

// The files under bf1942/levels/<name>/ as the game's archives hold them.
inline std::string LevelArchive(const std::string& name, std::vector<TRfaFile> files, bool compressed)
{
    for (TRfaFile& file : files)
        file.Path = "bf1942/Levels/" + name + "/" + file.Path;
    return WriteRfaArchive(files, compressed, 1000);
}

// The real game files; tests that need them skip when the folder is absent.
inline std::string FixturesFolder() { return ORNWICK_FIXTURES_DIR; }
#define SKIP_WITHOUT_FIXTURES()                                                                              \
    if (!std::filesystem::is_directory(FixturesFolder()))                                                     \
    GTEST_SKIP() << "no real game files in " << FixturesFolder() << " (../shared/fixtures beside the project)"
