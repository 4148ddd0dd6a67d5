// Pictures by name, the map's objects and their calibration, on the real window.
#include "../WindowTestUtil.h"
#include "../ToolRun.h"
#include "demoworld/DemoWorld.h"

#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// A home folder with an images folder of its own.
struct TMapHome : THome {
    TMapHome()
    {
        std::filesystem::create_directory(Dir.Path("images"));
    }
    void Picture(const std::string& file, int width, int height, const char* format)
    {
        QImage image(width, height, QImage::Format_RGB888);
        image.fill(Qt::white);
        ASSERT_TRUE(image.save(QString::fromStdString(Dir.Path("images/" + file)), format));
    }
};

QStringList MissingLines(const TTarvelMain& window)
{
    return window.Memo2->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

TEST(WorldToMap, ReadsTheSlidersAndThePictureHeightAtEveryCall)
{
    TMapHome home;
    home.Picture("tall.jpg", 10, 600, "JPEG");
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    EXPECT_EQ(window.WorldToMapY(0), 105); // the holder's size before any map picture
    EXPECT_EQ(window.WorldToMapY(10), 85);
    window.LoadPicture(TTarvelMainTest::MapImage(window), "tall");
    EXPECT_EQ(window.WorldToMapY(100), 400);
    EXPECT_EQ(window.WorldToMapY(0), 600);
    EXPECT_EQ(window.WorldToMapY(-50), 700);
    EXPECT_EQ(window.WorldToMapX(100.25), 200);
    window.TBXas->setValue(1000);
    EXPECT_EQ(window.WorldToMapX(2.5), 2);
    EXPECT_EQ(window.WorldToMapX(3.5), 4);
    window.TBXas->setValue(5000);
    EXPECT_EQ(MessageOf([&] { window.WorldToMapX(1e9); }), "Range check error");
    window.TBYas->setValue(5000);
    EXPECT_EQ(MessageOf([&] { window.WorldToMapY(-429496700); }), "Integer overflow");
}

TEST(LoadPicture, BitmapFirstThenJpegThenTheMappedBitmap)
{
    TMapHome home;
    home.Picture("both.bmp", 2, 2, "BMP");
    home.Picture("both.jpg", 3, 3, "JPEG");
    home.Picture("photo.jpg", 4, 5, "JPEG");
    home.Picture("shared.bmp", 6, 6, "BMP");
    home.Picture("onlyjpeg.jpg", 7, 7, "JPEG");
    home.Dir.Write("Tarvel.map", "Kit1=shared\r\nKit2=onlyjpeg\r\nKIT3=nothing\r\n");
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    TPictureHolder image;
    EXPECT_EQ(window.LoadPicture(image, "both"), "both");
    EXPECT_EQ(image.Width, 2);
    EXPECT_EQ(window.LoadPicture(image, "photo"), "photo");
    EXPECT_EQ(image.Height, 5);
    EXPECT_EQ(window.LoadPicture(image, "kit1"), "shared"); // the map's names ignore letter case
    EXPECT_EQ(image.Width, 6);
    // Only a bitmap is tried for a mapped name; the name asked for is the missing one.
    EXPECT_EQ(window.LoadPicture(image, "Kit2"), "onlyjpeg");
    EXPECT_EQ(image.Width, 6); // the holder keeps the picture it had
    EXPECT_EQ(window.LoadPicture(image, "Kit3"), "nothing");
    EXPECT_EQ(window.LoadPicture(image, "ghost"), "ghost");
    EXPECT_EQ(window.LoadPicture(image, "GHOST"), "GHOST");
    EXPECT_EQ(window.LoadPicture(image, "ghost"), "ghost");
    EXPECT_EQ(MissingLines(window), (QStringList{"Kit2", "Kit3", "ghost"}));

    home.Dir.Write("images/broken.bmp", "BM not a bitmap");
    EXPECT_EQ(MessageOf([&] { window.LoadPicture(image, "broken"); }), "Bitmap image is not valid");
}

TEST(LoadPicture, TheMissingListKeepsItsOrderAndLetterCaseRuleForManyNames)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    TPictureHolder holder;
    QStringList expected;
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "class" + std::to_string(i) + "\xE9";
        window.LoadPicture(holder, name);
        window.LoadPicture(holder, "CLASS" + std::to_string(i) + "\xC9"); // the same name, other case
        expected << QString::fromLatin1(name.c_str());
    }
    EXPECT_EQ(MissingLines(window), expected);
    // A line the user types into the page counts as listed; one deleted is listed again.
    window.Memo2->setPlainText(QStringLiteral("typed\nclass0\xE9"));
    window.LoadPicture(holder, "TYPED");
    window.LoadPicture(holder, "class1\xE9");
    EXPECT_EQ(MissingLines(window), (QStringList{"typed", QString::fromLatin1("class0\xE9"), QString::fromLatin1("class1\xE9")}));
}

TEST(MapObjects, ReadPlacedByTeamAndStoppedByABadTeam)
{
    TSeparatorScope point('.');
    TMapHome home;
    home.Picture("GRAYVLAG.bmp", 25, 25, "BMP");
    home.Picture("AXISVLAG.bmp", 25, 25, "BMP");
    home.Picture("Jeep.bmp", 23, 23, "BMP");
    home.Dir.Write("images/testOBS.con", "Object.create controlpoint\r\nObject.absolutePosition 100/5/100\r\n"
                                          "Object.setTeam 1\r\n"
                                          "Object.create Jeep\r\nObject.absolutePosition 30/5/40\r\nObject.setTeam 2\r\n"
                                          "Object.create Jeep\r\nObject.absolutePosition 1/1/1\r\nObject.setTeam 1.5\r\n"
                                          "Object.create Jeep\r\nObject.absolutePosition 2/2/2\r\nObject.setTeam 1\r\n");
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    window.TBXas->setValue(1000);
    window.TBYas->setValue(1000);
    TTarvelMainTest::SetMargins(window, 10, -5);
    EXPECT_EQ(MessageOf([&] { window.LoadMapObjects("test"); }), "'1.5' is not a valid integer value");
    const TMapObjectList& objects = window.MapObjects();
    ASSERT_EQ(objects.Count(), 3); // the failing object stays, unplaced
    const TMapObject& flag = *objects.Object(0);
    EXPECT_EQ(flag.FPictureName, "AXISVLAG");
    EXPECT_EQ(flag.FImage.Left, 100 + 10 - 12);     // centred on x 110
    EXPECT_EQ(flag.FImage.Top, 105 - 100 - 5 - 12); // y 0, from the default height 105
    EXPECT_EQ(objects.Object(1)->FTeam, 2);
    EXPECT_EQ(objects.Object(1)->FImage.Left, 30 + 10 - 11);
    EXPECT_EQ(objects.Object(2)->FTeam, 0);
    EXPECT_EQ(objects.Object(2)->FImage.Left, 0);
    EXPECT_EQ(objects.Text(1), "30/5/40");
    EXPECT_EQ(MissingLines(window), QStringList{"controlpoint"}); // looked up by class first

    // A team change shows on the flag when the objects are placed again.
    objects.Object(0)->SetTeam(0);
    window.TBXas->setValue(2000);
    window.PlaceAllMapObjects();
    EXPECT_EQ(flag.FPictureName, "GRAYVLAG");
    EXPECT_EQ(flag.FImage.Left, 200 + 10 - 12);
    window.LoadMapObjects("nomap"); // no object file: nothing happens
    EXPECT_EQ(objects.Count(), 3);
}

TEST(MapObjects, TheShippedPicturesCoverTheDemoWorld)
{
    THome home;
    const std::string bin = ORNWICK_BIN_DIR;
    std::filesystem::create_directory_symlink(bin + "/images", home.Dir.Path("images"));
    std::filesystem::copy_file(bin + "/Tarvel.map", home.Dir.Path("Tarvel.map"));
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    size_t places = 0;
    for (const demoworld::Map& map : demoworld::Maps) {
        window.LoadPicture(TTarvelMainTest::MapImage(window), map.name);
        EXPECT_EQ(TTarvelMainTest::MapImage(window).Height, map.pictureSize);
        window.LoadMapObjects(map.name);
        places += map.controlPoints.size() + map.vehicles.size();
    }
    EXPECT_EQ(static_cast<size_t>(window.MapObjects().Count()), places);
    TPictureHolder marker;
    for (const char* name : demoworld::Kits)
        window.LoadPicture(marker, name);
    for (const char* name : demoworld::Vehicles)
        window.LoadPicture(marker, name);
    window.LoadPicture(marker, "death");
    EXPECT_EQ(MissingLines(window), QStringList{});
}

TEST(SaveSettingsPerMap, WritesTheFiveKeysInOrderAndReplacesThemInPlace)
{
    THome home;
    home.Dir.Write("Tarvel.ini", "admin=true\r\n");
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    window.BSaveSettingsPerMap->click(); // before any round: an empty map name
    window.ShowMap("bay"); // a map without a picture or objects
    window.TBXas->setValue(500);
    window.TBYas->setValue(600);
    TTarvelMainTest::SetMargins(window, -3, 7);
    window.BSaveSettingsPerMap->click();
    window.TBXas->setValue(510);
    window.BSaveSettingsPerMap->click();
    EXPECT_EQ(TTarvelMainTest::CorrectionY(window), 600);
    EXPECT_EQ(TTarvelMainTest::Settings(window).List().Lines,
              (std::vector<std::string>{"admin=true", "_SCALE=2000", "_CORRECTIONY=2000", "_TOPMARGIN=0",
                                        "_LEFTMARGIN=0", "ZOOM=" + std::to_string(window.TBMApZoom->value()),
                                        "bay_SCALE=510", "bay_CORRECTIONY=600", "bay_TOPMARGIN=7", "bay_LEFTMARGIN=-3"}));
    EXPECT_EQ(ReadFileBytes(home.Ini()), "admin=true\r\n"); // saved only when the program ends
}

TEST(ObjectsCommand, PrintsThePlacedObjectsThenTheMissingPictures)
{
    TSeparatorScope point('.');
    TMapHome home;
    home.Picture("map.jpg", 50, 200, "JPEG");
    home.Picture("AXISVLAG.bmp", 25, 25, "BMP");
    home.Dir.Write("images/mapOBS.con", "Object.create controlpoint\nObject.absolutePosition 40/0/60\nObject.setTeam 1\n"
                                         "Object.create Tank\nObject.absolutePosition 1/0/1\nObject.setTeam x\n");
    const TToolRun run = RunOrnwickTool({"objects", "map", "--home", home.Dir.Path(""), "--scale", "500",
                                     "--correctiony", "1000", "--left", "-4001", "--top", "3"});
    EXPECT_EQ(run.status, 0);
    // x: 0.5 * 40 - 4000 (the slider stops at its end); y: 200 - 60 + 3.
    EXPECT_EQ(run.out,
              "{\"class\":\"controlpoint\",\"position\":\"40/0/60\",\"start\":\"40/0/60\",\"team\":1,"
              "\"picture\":\"AXISVLAG\",\"x\":-3992,\"y\":131,\"w\":25,\"h\":25}\n"
              "{\"class\":\"Tank\",\"position\":\"1/0/1\",\"start\":\"1/0/1\",\"team\":-1,\"picture\":\"Tank\","
              "\"x\":-4052,\"y\":150,\"w\":105,\"h\":105}\n" // a holder without picture keeps 105 x 105
              "{\"missing\":[\"controlpoint\",\"Tank\"]}\n");
    EXPECT_EQ(run.err, "");
}
