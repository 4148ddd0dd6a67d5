// The picture an import makes when the level lacks terrain tiles (its overview map, else the
// world's grid), and terrain tiles moved into the world by the level's texture offsets.
#include "LevelTestFiles.h"
#include "base/Json.h"
#include "level/LevelObjects.h"
#include "level/MapImport.h"
#include "mapview/GridBackground.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

// Where the calibration puts a world position on the picture itself, which the frame
// stretches over DrawnMapSize map pixels; fails the test when it lies off the picture.
QPoint PictureAt(const TCalibration& c, const QImage& picture, double x, double z)
{
    const QPoint at(CalibratedMapX(c, x) * picture.width() / DrawnMapSize,
                    CalibratedMapY(c, picture.height(), z) * picture.height() / DrawnMapSize);
    EXPECT_TRUE(picture.rect().contains(at)) << x << "," << z << " lies off the picture at " << at.x() << "," << at.y();
    return picture.rect().contains(at) ? at : QPoint(0, 0);
}

QRgb ColourAt(const TLevelPicture& p, double x, double z)
{
    return p.Picture.pixel(PictureAt(CalibrateLevelPicture(p).Values, p.Picture, x, z)) | 0xFF000000;
}

// The overview maps' sea, blue or dark teal; their land is brown, green or grey.
bool IsSea(const QColor& c) { return c.blue() > c.red() + 10 && c.blue() + 5 >= c.green(); }

std::vector<TRfaFile> Without(std::vector<TRfaFile> files, const std::string& part)
{
    std::erase_if(files, [&](const TRfaFile& f) { return LowerAscii(f.Path).find(part) != std::string::npos; });
    return files;
}

const std::string MarshallFolder = "/levels/Marshall_island";

} // namespace

TEST(LevelPicture, TilesLieWhereTheTextureOffsetsPutThem)
{
    TTempDir dir;
    // A world of 8 x 8 tiles; the level's tiles named from Tx00x00 start 3 tiles along X and 1
    // along Z into it.
    std::vector<TRfaFile> files = {
        {"Init/Terrain.con", "GeometryTemplate.worldSize 2048\r\nGeometryTemplate.texOffsetX 3\r\n"
                             "rem GeometryTemplate.texOffsetY 5\r\ngeometrytemplate.TEXOFFSETY 1\r\n"},
        {"Textures/Tx00x00.dds", TileDds(64, Red, Yellow)},
        {"Textures/Tx01x00.dds", TileDds(64, Green, Green)},
        {"Textures/Tx00x01.dds", TileDds(64, Blue, Blue)},
        {"Textures/Tx05x00.dds", TileDds(64, White, White)}, // X from 2048: outside the world
    };
    const TLevel level = TLevel::FromFolder(WriteLevelFolder(dir, "Moved", files));
    EXPECT_EQ(ReadTileOffset(level).X, 3);
    EXPECT_EQ(ReadTileOffset(level).Z, 1);
    EXPECT_EQ(TerrainTileCount(level, 2048), 3);
    const TLevelPicture p = TerrainPicture(level, 2048);
    EXPECT_EQ(p.Tiles, 3);
    EXPECT_LE(p.Square.X0(), 768);
    EXPECT_GT(p.Square.X0(), 766);
    EXPECT_LE(p.Square.Z0(), 256);
    EXPECT_GT(p.Square.Z0(), 254);
    EXPECT_LE(CalibrateLevelPicture(p).MaxError, 0.75);
    EXPECT_EQ(ColourAt(p, 800, 300), Red); // tile 0,0 from X 768 and Z 256, its low half
    EXPECT_EQ(ColourAt(p, 1000, 480), Yellow);
    EXPECT_EQ(ColourAt(p, 1100, 300), Green);
    EXPECT_EQ(ColourAt(p, 800, 600), Blue);
    EXPECT_EQ(ColourAt(p, 1100, 600), qRgb(128, 128, 128)); // no tile 1,1

    // A negative offset moves tiles down; those it moves out of the world are left out.
    files[0].Content = "GeometryTemplate.worldSize 1024\r\nGeometryTemplate.texOffsetX -1\r\n";
    files[3].Path = "Textures/Tx02x01.dds";
    const TLevel back = TLevel::FromFolder(WriteLevelFolder(dir, "Back", files));
    EXPECT_EQ(TerrainTileCount(back, 1024), 2);
    const TLevelPicture b = TerrainPicture(back, 1024);
    EXPECT_EQ(ColourAt(b, 10, 10), Green);   // Tx01x00 from X 0
    EXPECT_EQ(ColourAt(b, 300, 300), Blue);  // Tx02x01 from X 256 and Z 256
    EXPECT_EQ(ReadTileOffset(back).Z, 0);    // missing: 0

    files[0].Content = "GeometryTemplate.worldSize 1024\r\nGeometryTemplate.texOffsetX two\r\n";
    const TLevel bad = TLevel::FromFolder(WriteLevelFolder(dir, "Bad", files));
    EXPECT_NE(MessageOf([&] { LevelPictureOf(bad, 1024, false); }).find("GeometryTemplate.texOffsetX ('two')"),
              std::string::npos);
    files.push_back({"Textures/InGameMap.dds", TileDds(64, Red, Red)});
    const TLevel badWithOverview = TLevel::FromFolder(WriteLevelFolder(dir, "Bad", files));
    EXPECT_EQ(LevelPictureOf(badWithOverview, 1024, true).Kind, TPictureKind::Overview); // the offsets unread
}

TEST(MapImport, ALevelWithoutTilesImportsOnItsOverviewElseOnTheGrid)
{
    TTempDir dir;
    const std::string images = dir.Path("images/");
    const auto import = [&](const std::string& name, const std::vector<TRfaFile>& files, bool overview) {
        return ImportMap(OpenLevel(WriteLevelFolder(dir, name, files), "", ""), "", "Conquest", overview, images);
    };
    // The terrain unless the overview map is asked for; either when the level lacks the other.
    EXPECT_EQ(import("Both", SmallLevel(), false).Kind, TPictureKind::Terrain);
    EXPECT_EQ(import("Both", SmallLevel(), true).Kind, TPictureKind::Overview);
    const std::vector<TRfaFile> noOverview = Without(SmallLevel(), "ingamemap");
    EXPECT_EQ(import("Tiles", noOverview, true).Kind, TPictureKind::Terrain);
    const std::vector<TRfaFile> noTiles = Without(SmallLevel(), "/tx");
    const TMapImport overview = import("Overview", noTiles, false);
    EXPECT_EQ(overview.Kind, TPictureKind::Overview);
    EXPECT_EQ(overview.Tiles, 0);

    // Neither: the world's square as the map view's grid, with every object and an exact
    // calibration, and the JSON saying which picture it is.
    const TMapImport grid = import("Scripts", Without(noTiles, "ingamemap"), false);
    EXPECT_EQ(grid.Kind, TPictureKind::Grid);
    EXPECT_EQ(grid.WorldSize, 1024);
    EXPECT_EQ(grid.Objects, 7);
    EXPECT_EQ(grid.ControlPoints, 3);
    EXPECT_LE(grid.Calibration.MaxError, 0.75);
    EXPECT_NE(MapImportJson(grid).find("\"picture\":\"scripts.jpg\",\"pictureKind\":\"grid\","), std::string::npos)
        << MapImportJson(grid);
    EXPECT_NE(MapImportJson(overview).find("\"pictureKind\":\"overview\""), std::string::npos);

    // The lines lie where the calibration puts their world units: every 100, bolder every 500.
    const TLevelPicture p = GridPicture(1024);
    EXPECT_EQ(p.Kind, TPictureKind::Grid);
    EXPECT_EQ(p.Picture.size(), QSize(2400, 2400));
    EXPECT_TRUE(CalibrateLevelPicture(p).Values == grid.Calibration.Values);
    EXPECT_EQ(ColourAt(p, 500, 330), GridMajorLine);
    EXPECT_EQ(ColourAt(p, 330, 1000), GridMajorLine);
    EXPECT_EQ(ColourAt(p, 600, 330), GridLine);
    EXPECT_EQ(ColourAt(p, 330, 200), GridLine);
    EXPECT_EQ(ColourAt(p, 650, 330), GridGround);
    // Lines as wide as the view shrinks the picture: a pixel wide there.
    const QPoint line = PictureAt(CalibrateLevelPicture(p).Values, p.Picture, 500, 330);
    EXPECT_EQ(p.Picture.pixel(line + QPoint(-2, 0)) | 0xFF000000, GridMajorLine);
    EXPECT_EQ(p.Picture.pixel(line + QPoint(1, 0)) | 0xFF000000, GridMajorLine);
    // A label beside the crossing of 500 and 500, above and right of it.
    const QPoint crossing = PictureAt(CalibrateLevelPicture(p).Values, p.Picture, 500, 500);
    int lit = 0;
    for (int y = crossing.y() - 50; y < crossing.y() - 3; ++y)
        for (int x = crossing.x() + 5; x < crossing.x() + 200; ++x)
            lit += qGray(p.Picture.pixel(x, y)) > qGray(GridMajorLine) + 20;
    EXPECT_GT(lit, 100);

    // A large world keeps its lines apart and its picture at the same size.
    EXPECT_EQ(GridPicture(16384).Picture.size(), QSize(2400, 2400));
    // With no Init/Terrain.con there is no level to import.
    EXPECT_THROW(OpenLevel(WriteLevelFolder(dir, "None", Without(noTiles, "terrain.con")), "", ""), ELevelError);
}

// A modification's level archive that holds only the scripts it changes, in a game whose own
// mod lacks the level: the round's map still comes with its objects, on the grid.
TEST(MapImport, AModificationsScriptsAloneImportFromTheGameFolder)
{
    TTempDir dir;
    const std::string levels = "game/Mods/mymod/Archives/bf1942/levels";
    std::filesystem::create_directories(dir.Path(levels));
    std::filesystem::create_directories(dir.Path("game/Mods/bf1942/Archives/bf1942/levels"));
    const std::vector<TRfaFile> scripts = Without(Without(SmallLevel(), "/tx"), "ingamemap");
    dir.Write(levels + "/Small.rfa", LevelArchive("Small", scripts, true));
    TRoundGame game;
    game.Mod = "mymod";
    const TMapImport import = ImportGameMap(dir.Path("game"), game, "Small", dir.Path("images/"));
    EXPECT_EQ(import.Kind, TPictureKind::Grid);
    EXPECT_EQ(import.Objects, 7);
    EXPECT_EQ(import.PictureFile, "small.jpg");
}

// Marshall_island's sixteen tiles start two tiles into its world: its four control points lie
// on its islands, and the terrain matches the game's own overview map where it lies.
TEST(MapImport, MarshallIslandTerrainLiesWhereTheOverviewShowsIt)
{
    SKIP_WITHOUT_FIXTURES();
    const TLevel level = TLevel::FromFolder(FixturesFolder() + MarshallFolder);
    const int world = ReadWorldSize(level);
    EXPECT_EQ(ReadTileOffset(level).X, 2);
    const TLevelPicture terrain = TerrainPicture(level, world);
    const TLevelPicture overview = OverviewPicture(level, world);
    EXPECT_EQ(terrain.Tiles, 16);
    EXPECT_NEAR(terrain.Square.X0(), 512, 2);
    EXPECT_NEAR(terrain.Square.Z0(), 512, 2);
    EXPECT_NEAR(terrain.Square.Side(), 1024, 3);
    const TCalibration t = CalibrateLevelPicture(terrain).Values, o = CalibrateLevelPicture(overview).Values;

    std::vector<TLevelObject> points = ReadLevelObjects(level, "Conquest");
    std::erase_if(points, [](const TLevelObject& p) { return !p.ControlPoint; });
    ASSERT_EQ(points.size(), 4u);
    for (const TLevelObject& point : points) {
        EXPECT_FALSE(IsSea(overview.Picture.pixelColor(PictureAt(o, overview.Picture, point.X, point.Z))));
        // On the terrain: not the islands' pale turquoise shallows (green over red).
        double red = 0, green = 0;
        const QPoint at = PictureAt(t, terrain.Picture, point.X, point.Z);
        for (int dy = -4; dy <= 4; ++dy)
            for (int dx = -4; dx <= 4; ++dx) {
                const QColor c = terrain.Picture.pixelColor(at + QPoint(dx, dy));
                red += c.red();
                green += c.green();
            }
        EXPECT_GT(red, green) << point.X << "," << point.Z;
    }
    EXPECT_TRUE(IsSea(overview.Picture.pixelColor(PictureAt(o, overview.Picture, 300, 300)))); // the test's idea of the sea

    // The brightness of the two pictures over the terrain's square goes together only where
    // each tile covers 256 world units from 256 × (its number + 2): moved a quarter tile,
    // they hardly agree.
    const auto correlation = [&](double shift) {
        double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
        int n = 0;
        for (double z = terrain.Square.Z0() + 8; z < terrain.Square.Z0() + terrain.Square.Side() - 8; z += 8)
            for (double x = terrain.Square.X0() + 8; x < terrain.Square.X0() + terrain.Square.Side() - 8; x += 8) {
                const double a = qGray(terrain.Picture.pixel(PictureAt(t, terrain.Picture, x, z)));
                const double b = qGray(overview.Picture.pixel(PictureAt(o, overview.Picture, x + shift, z + shift)));
                sa += a, sb += b, saa += a * a, sbb += b * b, sab += a * b, ++n;
            }
        return (sab / n - sa / n * sb / n) / std::sqrt((saa / n - sa / n * sa / n) * (sbb / n - sb / n * sb / n));
    };
    const double aligned = correlation(0);
    EXPECT_GT(aligned, 0.45);
    EXPECT_LT(correlation(64), aligned - 0.2);
    EXPECT_LT(correlation(-64), aligned - 0.2);
}

// Corsica has no terrain tiles, only its overview map (Textures/InGameMap.dds): it imports on
// that, its control points on the island.
TEST(MapImport, CorsicaImportsOnItsOverviewMap)
{
    SKIP_WITHOUT_FIXTURES();
    TTempDir dir;
    const TLevel level = TLevel::FromFolder(FixturesFolder() + "/levels/Corsica");
    const TMapImport import = ImportMap(level, "", "GPM_CQ", false, dir.Path("images/"));
    EXPECT_EQ(import.Kind, TPictureKind::Overview);
    EXPECT_EQ(import.WorldSize, 2048);
    EXPECT_EQ(import.ControlPoints, 5);
    EXPECT_LE(import.Calibration.MaxError, 1.0);
    const TLevelPicture overview = LevelPictureOf(level, 2048, false);
    for (const TLevelObject& point : ReadLevelObjects(level, "Conquest"))
        if (point.ControlPoint)
            EXPECT_FALSE(IsSea(overview.Picture.pixelColor(PictureAt(import.Calibration.Values, overview.Picture, point.X, point.Z))))
                << point.X << "," << point.Z;
    EXPECT_TRUE(IsSea(overview.Picture.pixelColor(PictureAt(import.Calibration.Values, overview.Picture, 150, 300))));
}

// kursk.rfa holds a level's scripts and no texture at all: it imports on the grid.
TEST(MapImport, KurskArchiveWithoutTexturesImportsOnTheGrid)
{
    SKIP_WITHOUT_FIXTURES();
    TTempDir dir;
    const TMapImport import =
        ImportMap(OpenLevel(FixturesFolder() + "/archives/kursk.rfa", "", ""), "", "GPM_CQ", false, dir.Path("images/"));
    EXPECT_EQ(import.Kind, TPictureKind::Grid);
    EXPECT_EQ(import.WorldSize, 1024);
    EXPECT_EQ(import.ControlPoints, 4);
    EXPECT_LE(import.Calibration.MaxError, 0.75);
    const QImage written = QImage::fromData(QByteArray::fromStdString(import.PictureBytes));
    EXPECT_EQ(written.size(), QSize(2400, 2400));
}
