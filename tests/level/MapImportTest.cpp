#include "LevelTestFiles.h"
#include "SmallFileSystem.h"
#include "TestUtil.h"
#include "base/Json.h"
#include "base/TextList.h"
#include "level/MapImport.h"
#include "mapview/WorldToMap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include <QDir>

namespace {

// Where the calibration puts a world position, in pixels of the picture itself: the frame
// stretches the picture over DrawnMapSize map pixels.
QPoint PicturePixel(const TPictureCalibration& c, const QImage& picture, double x, double z)
{
    const double mx = CalibratedMapX(c.Values, x), my = CalibratedMapY(c.Values, picture.height(), z);
    return {static_cast<int>(mx * picture.width() / DrawnMapSize), static_cast<int>(my * picture.height() / DrawnMapSize)};
}

// The square holds the one asked for, a map pixel lower at most, and is no larger than the next
// whole scale down requires.
void ExpectSquare(const TPictureSquare& square, double x0, double z0, double side)
{
    const double pixel = 1000.0 / square.Scale;
    EXPECT_LE(square.X0(), x0);
    EXPECT_LE(square.Z0(), z0);
    EXPECT_GT(square.X0(), x0 - pixel);
    EXPECT_GT(square.Z0(), z0 - pixel);
    EXPECT_GE(square.X0() + square.Side(), x0 + side);
    EXPECT_GE(square.Z0() + square.Side(), z0 + side);
    EXPECT_LT(square.Side(), side * (1 + 1.0 / square.Scale) + 2 * pixel);
}

} // namespace

TEST(LevelPicture, TilesStitchedWithZUpAndCroppedToTheirSquare)
{
    TTempDir dir;
    const TLevel level = TLevel::FromFolder(WriteLevelFolder(dir, "Small", SmallLevel()));
    const TLevelPicture p = TerrainPicture(level, 1024);
    // Tiles 1..2 along both axes: a square of two tiles, from world 256 to 768 and a sliver.
    ExpectSquare(p.Square, 256, 256, 512);
    EXPECT_EQ(p.Tiles, 3);
    ASSERT_EQ(p.Picture.size(), QSize(2048, 2048)); // 64-pixel tiles, enlarged to the least size
    const auto at = [&](int x, int y) { return p.Picture.pixel(x, y) | 0xFF000000; };
    EXPECT_EQ(at(500, 500), Blue);                 // tile (1,2): high Z, top left
    EXPECT_EQ(at(1500, 1500), Green);              // tile (2,1): low Z, bottom right
    EXPECT_EQ(at(1500, 500), qRgb(128, 128, 128)); // tile (2,2) is missing
    // Tile (1,1), bottom left: its rows from 0 (low Z, red) lie at the bottom, flipped.
    EXPECT_EQ(at(500, 1900), Red);
    EXPECT_EQ(at(500, 1100), Yellow);

    std::vector<TRfaFile> none = SmallLevel();
    none.erase(none.begin() + 1, none.begin() + 4);
    EXPECT_NE(MessageOf([&] { TerrainPicture(TLevel::FromFolder(WriteLevelFolder(dir, "Bare", none)), 1024); })
                  .find("the level has no terrain tiles"),
              std::string::npos);
}

TEST(LevelPicture, SizesBetweenTheLeastAndTheMost)
{
    TTempDir dir;
    std::vector<TRfaFile> files = {{"Init/Terrain.con", "GeometryTemplate.worldSize 4096\n"}};
    for (int x = 0; x < 16; x += 5)
        files.push_back({"Textures/Tx" + std::string(x < 10 ? "0" : "") + std::to_string(x) + "x00.dds", TileDds(512, Red, Red)});
    // Tiles 0..15 along X: the whole world, 16 tiles of 512 pixels, shrunk to 4096.
    const TLevelPicture wide = TerrainPicture(TLevel::FromFolder(WriteLevelFolder(dir, "Wide", files)), 4096);
    EXPECT_EQ(wide.Picture.size(), QSize(4096, 4096));
    ExpectSquare(wide.Square, 0, 0, 4096);
    EXPECT_EQ(wide.Tiles, 4);
    // Three tiles of 1024 pixels keep their own resolution.
    files = {{"Init/Terrain.con", "GeometryTemplate.worldSize 2048\n"},
             {"Textures/Tx03x03.dds", TileDds(1024, Red, Red)}, {"Textures/Tx05x03.dds", TileDds(1024, Red, Red)}};
    const TLevelPicture three = TerrainPicture(TLevel::FromFolder(WriteLevelFolder(dir, "Three", files)), 2048);
    EXPECT_EQ(three.Picture.size(), QSize(3072, 3072));
    ExpectSquare(three.Square, 3 * 256, 2 * 256, 3 * 256); // centred on the row of tiles
}

namespace {

// An uncompressed 24-bit TGA whose upper half shows `top` and lower half `bottom`, its rows
// stored from the bottom up (the format's usual order) or from the top down.
std::string Tga(int side, QRgb top, QRgb bottom, bool topDown)
{
    std::string out(18, '\0');
    out[2] = 2; // true colour, uncompressed
    out[12] = static_cast<char>(side & 0xFF);
    out[13] = static_cast<char>(side >> 8);
    out[14] = static_cast<char>(side & 0xFF);
    out[15] = static_cast<char>(side >> 8);
    out[16] = 24;
    out[17] = topDown ? 0x20 : 0;
    for (int row = 0; row < side; ++row) {
        const int shown = topDown ? row : side - 1 - row;
        const QRgb c = shown < side / 2 ? top : bottom;
        for (int x = 0; x < side; ++x)
            out += {static_cast<char>(qBlue(c)), static_cast<char>(qGreen(c)), static_cast<char>(qRed(c))};
    }
    return out;
}

} // namespace

TEST(LevelPicture, TgaTilesAreReadWithoutAnyImagePlugin)
{
    for (const bool topDown : {false, true}) {
        const QImage tile = DecodeTexture(Tga(64, Red, Blue, topDown), "textures/TX01x01.TGA");
        ASSERT_EQ(tile.size(), QSize(64, 64));
        EXPECT_EQ(tile.pixel(10, 5) | 0xFF000000, Red);
        EXPECT_EQ(tile.pixel(10, 60) | 0xFF000000, Blue);
    }
    // A level whose tiles are TGA files: stitched as DDS tiles are, the size taken from them.
    TTempDir dir;
    std::vector<TRfaFile> files = SmallLevel();
    for (TRfaFile& file : files)
        if (file.Path.find("Tx01x02") != std::string::npos)
            file = {"Textures/Tx01x02.tga", Tga(128, Green, Green, false)};
    const TLevelPicture p = TerrainPicture(TLevel::FromFolder(WriteLevelFolder(dir, "Targa", files)), 1024);
    EXPECT_EQ(p.Tiles, 3);
    EXPECT_EQ(p.Picture.pixel(500, 500) | 0xFF000000, Green); // tile (1,2): high Z, top left

    EXPECT_EQ(MessageOf([] { DecodeTexture(Tga(64, Red, Red, false).substr(0, 400), "t.tga"); }),
              "t.tga is no readable texture: the decoder rejected it");
    std::string wide = Tga(16, Red, Red, false);
    wide[13] = 0x40; // 16 400 pixels wide
    EXPECT_EQ(MessageOf([&] { DecodeTexture(wide, "t.tga"); }), "t.tga is no readable texture: 16400 x 16 pixels");
}

TEST(LevelPicture, BrokenTexturesAreErrors)
{
    std::string dds = TileDds(64, Red, Red);
    EXPECT_EQ(MessageOf([&] { DecodeTexture(dds.substr(0, 100), "t.dds"); }), "t.dds is no readable texture: no DDS header");
    EXPECT_EQ(MessageOf([&] { DecodeTexture(dds.substr(0, 600), "t.dds"); }),
              "t.dds is no readable texture: the decoder rejected it");
    dds[16] = 0;
    dds[17] = 0;
    dds[18] = 0x10; // a million pixels wide
    EXPECT_EQ(MessageOf([&] { DecodeTexture(dds, "t.dds"); }), "t.dds is no readable texture: 1048576 x 64 pixels");
    EXPECT_EQ(MessageOf([] { DecodeTexture("nothing", "t.tga"); }), "t.tga is no readable texture: no TGA header");
}

TEST(MapImport, CalibrationPlacesEveryPositionWithinAPixel)
{
    for (const long long side : {256, 512, 768, 1024, 2048, 4096, 16384})
        for (const long long x0 : {0, 256, 1792, 3840}) {
            TLevelPicture p;
            p.Picture = QImage(2048, 2048, QImage::Format_RGB32);
            p.Square = ExactSquare(x0, x0 / 2, side);
            ExpectSquare(p.Square, x0, x0 / 2, side);
            if (p.Square.CellsX > MaxCalibrationOffset) {
                EXPECT_FALSE(MessageOf([&] { CalibrateLevelPicture(p); }).empty());
                continue;
            }
            const TPictureCalibration c = CalibrateLevelPicture(p);
            EXPECT_LE(c.MaxError, 0.75) << side << " " << x0; // the map view's rounding alone
            // The picture's corners: low X and high Z at the top left.
            const TPictureSquare& q = p.Square;
            EXPECT_LE(std::hypot(CalibratedMapX(c.Values, q.X0()), CalibratedMapY(c.Values, 2048, q.Z0() + q.Side())), 0.75);
            EXPECT_LE(std::hypot(CalibratedMapX(c.Values, q.X0() + q.Side()) - DrawnMapSize,
                                 CalibratedMapY(c.Values, 2048, q.Z0()) - DrawnMapSize),
                      0.75);
        }
}

TEST(MapImport, WritesPictureObjectsAndSettings)
{
    TTempDir dir;
    const std::string level = WriteLevelFolder(dir, "Small", SmallLevel());
    std::filesystem::create_directories(dir.Path("images"));
    const std::string images = dir.Path("images/");
    dir.Write("Tarvel.ini", "admin=true\r\nsmall_SCALE=1\r\nother_SCALE=5\r\n");
    const TMapImport import = ImportMap(OpenLevel(level, "", ""), "", "GPM_CQ", false, images);
    WriteMapImport(import, images, dir.Path("Tarvel.ini"));
    EXPECT_EQ(MapImportJson(import),
              "{\"map\":\"small\",\"picture\":\"small.jpg\",\"pictureKind\":\"terrain\",\"pictureWidth\":2048,\"pictureHeight\":2048,\"worldSize\":1024,"
              "\"tiles\":3,\"objectFile\":\"smallOBS.con\",\"objects\":7,\"controlPoints\":3,\"_SCALE\":1170,"
              "\"_CORRECTIONY\":1170,\"_LEFTMARGIN\":-299,\"_TOPMARGIN\":-1149,\"maxError\":" +
                  JsonNumber(import.Calibration.MaxError) + "}");
    QImage written(QString::fromStdString(images + "small.jpg"));
    EXPECT_EQ(written.size(), QSize(2048, 2048));
    EXPECT_EQ(ReadFileBytes(images + "smallOBS.con"), import.ObjectText);
    TTextList settings;
    settings.LoadFromFile(dir.Path("Tarvel.ini"));
    EXPECT_EQ(settings.Values("admin"), "true");
    EXPECT_EQ(settings.Values("other_SCALE"), "5");
    EXPECT_EQ(settings.Values("small_SCALE"), "1170");
    EXPECT_EQ(settings.Values("small_TOPMARGIN"), "-1149");
    EXPECT_EQ(settings.IndexOfName("small_SCALE"), 1); // replaced where it was

    // A bitmap of the map loads before a JPEG: the import replaces the bitmap instead.
    const TMapImport again = ImportMap(OpenLevel(level, "", ""), "Renamed", "Conquest", true, images);
    EXPECT_EQ(again.PictureFile, "renamed.jpg");
    dir.Write("images/renamed.bmp", "old");
    EXPECT_EQ(ImportMap(OpenLevel(level, "", ""), "Renamed", "Conquest", true, images).PictureFile, "renamed.bmp");
}

TEST(MapImport, AFailedWriteLeavesTheFilesAsTheyWere)
{
    TTempDir dir;
    const std::string level = WriteLevelFolder(dir, "Small", SmallLevel());
    std::filesystem::create_directories(dir.Path("images"));
    dir.Write("images/smallOBS.con", "mine");
    const TMapImport import = ImportMap(OpenLevel(level, "", ""), "", "Conquest", false, dir.Path("images/"));
    // The settings cannot be written: the picture and the object file are taken back.
    EXPECT_FALSE(MessageOf([&] { WriteMapImport(import, dir.Path("images/"), dir.Path("absent/Tarvel.ini")); }).empty());
    EXPECT_FALSE(PathExists(dir.Path("images/small.jpg")));
    EXPECT_EQ(ReadFileBytes(dir.Path("images/smallOBS.con")), "mine");
}

// The picture is far larger than what is left of the disk: nothing of the import is written,
// and the settings and the object file stay as they were.
TEST(MapImport, AFullDiskLeavesTheFilesAsTheyWere)
{
    ORNWICK_ON_SMALL_FILE_SYSTEM(folder);
    TTempDir dir;
    const std::string level = WriteLevelFolder(dir, "Small", SmallLevel());
    const std::string images = folder + "/images/";
    std::filesystem::create_directories(images);
    const std::string ini = folder + "/Tarvel.ini";
    std::ofstream(ini, std::ios::binary) << "admin=true\r\nsmall_SCALE=1\r\n";
    std::ofstream(images + "smallOBS.con", std::ios::binary) << "mine";
    const TMapImport import = ImportMap(OpenLevel(level, "", ""), "", "Conquest", false, images);
    smallfs::Fill(folder);
    EXPECT_EQ(MessageOf([&] { WriteMapImport(import, images, ini); }),
              "Cannot create file " + images + "small.jpg: No space left on device");
    EXPECT_EQ(ReadFileBytes(ini), "admin=true\r\nsmall_SCALE=1\r\n");
    EXPECT_EQ(ReadFileBytes(images + "smallOBS.con"), "mine");
    EXPECT_EQ(QDir(QString::fromStdString(images)).entryList(QDir::Files | QDir::Hidden), QStringList{"smallOBS.con"});
}

TEST(MapImport, KwajaleinControlPointsLieOnItsIsland)
{
    SKIP_WITHOUT_FIXTURES();
    const TLevel level = TLevel::FromFolder(FixturesFolder() + "/levels/Kwajalein_Atoll");
    const std::vector<TLevelObject> points = ReadLevelObjects(level, "Conquest");
    ASSERT_EQ(points.size(), 3u);
    const auto brightness = [](const QImage& picture, QRect area) {
        area &= picture.rect();
        double sum = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                sum += qGray(picture.pixel(x, y));
        return sum / (area.width() * area.height());
    };
    // The terrain tiles: the sea floor is light sand, the islands' shores dark under their palms.
    const TLevelPicture terrain = TerrainPicture(level, ReadWorldSize(level));
    EXPECT_EQ(terrain.Tiles, 4);
    ExpectSquare(terrain.Square, 256, 512, 512);
    const TPictureCalibration c = CalibrateLevelPicture(terrain);
    EXPECT_LE(c.MaxError, 1.0);
    const double mean = brightness(terrain.Picture, terrain.Picture.rect());
    for (const TLevelObject& o : points) {
        const QPoint at = PicturePixel(c, terrain.Picture, o.X, o.Z);
        EXPECT_LT(brightness(terrain.Picture, QRect(at - QPoint(4, 4), QSize(9, 9))), mean - 20) << o.X << "," << o.Z;
    }
    // The overview map: no control point in its blue sea.
    const TLevelPicture overview = OverviewPicture(level, ReadWorldSize(level));
    const TPictureCalibration o = CalibrateLevelPicture(overview);
    EXPECT_LE(o.MaxError, 1.0);
    for (const TLevelObject& point : points) {
        const QColor colour = overview.Picture.pixelColor(PicturePixel(o, overview.Picture, point.X, point.Z));
        EXPECT_FALSE(colour.blue() > colour.red() + 20 && colour.blue() > colour.green()) << point.X << "," << point.Z;
    }
    const QColor sea = overview.Picture.pixelColor(100, 100);
    EXPECT_TRUE(sea.blue() > sea.red() + 20 && sea.blue() > sea.green()); // the test's idea of the sea holds
}
