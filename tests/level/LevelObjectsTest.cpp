#include "LevelTestFiles.h"
#include "level/LevelObjects.h"
#include "base/TextList.h"
#include "mapview/MapObject.h"

#include <gtest/gtest.h>

TEST(LevelObjects, CommentsAreLeftOut)
{
    const std::vector<TConCommand> commands = ReadConCommands(
        "rem Object.create A\nREM\nrem*** x\nBeginRem\nObject.create B\nEndRem\n  Object.Create  C  \nremark.x 1\n");
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].Keyword, "object.create");
    EXPECT_EQ(commands[0].Args, std::vector<std::string>{"C"});
    EXPECT_EQ(commands[1].Keyword, "remark.x"); // a word that begins with rem is no comment
}

TEST(LevelObjects, TeamsAndClassesFromTheTemplates)
{
    TTempDir dir;
    const TLevel level = TLevel::FromFolder(WriteLevelFolder(dir, "Small", SmallLevel()));
    const std::vector<TLevelObject> objects = ReadLevelObjects(level, GameTypeFolder("gpm_cq"));
    struct TExpected {
        const char* Class;
        double X, Z;
        int Team;
    };
    const std::vector<TExpected> expected = {
        {"Sherman", 310, 410, 2},      // the object's own team picks the vehicle
        {"Tiger", 320, 420, 0},        // two teams' vehicles: no team, the first vehicle
        {"Willys", 330, 430, 2},       // one team's vehicle only: that team
        {"strangespawner", 340, 440, 0}, // no template: kept, with its own name
        {"controlpoint", 300, 400, 1}, // the template's team
        {"controlpoint", 150, 300, 0}, // no team anywhere; exponents read
        {"controlpoint", 600, 600, 2}, // the object's own team over the template's none
    };
    ASSERT_EQ(objects.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(objects[i].Class, expected[i].Class) << i;
        EXPECT_EQ(objects[i].X, expected[i].X) << i;
        EXPECT_EQ(objects[i].Z, expected[i].Z) << i;
        EXPECT_EQ(objects[i].Team, expected[i].Team) << i;
        EXPECT_EQ(objects[i].ControlPoint, std::string(expected[i].Class) == "controlpoint") << i;
    }
    EXPECT_EQ(MessageOf([&] { ReadLevelObjects(level, "Ctf"); }), dir.Path("Small") + ": the level has no game type Ctf");
    EXPECT_EQ(MessageOf([] { GameTypeFolder("GPM_XX"); }).substr(0, 26), "Unknown game type 'GPM_XX'");
}

TEST(LevelObjects, TheObjectFileReadsBackAsTheMapViewReadsIt)
{
    TTempDir dir;
    const std::vector<TLevelObject> objects =
        ReadLevelObjects(TLevel::FromFolder(WriteLevelFolder(dir, "Small", SmallLevel())), "conquest");
    TTextList file;
    file.SetText(ObjectFileText("small", objects));
    const std::vector<TObjectGroup> groups = ReadObjectGroups(file);
    ASSERT_EQ(groups.size(), objects.size()); // none dropped, whatever its team
    for (size_t i = 0; i < groups.size(); ++i) {
        EXPECT_EQ(groups[i].ObjectClass, objects[i].Class);
        TMapObject read;
        read.SetPosition(groups[i].Position);
        EXPECT_DOUBLE_EQ(read.FX, objects[i].X);
        EXPECT_DOUBLE_EQ(read.FZ, objects[i].Z);
        EXPECT_EQ(std::stoi(groups[i].Team), objects[i].Team);
    }
}

TEST(LevelObjects, PlacesFarBeyondAnyWorld)
{
    // A million units out is damage: the object has no place and is left out.
    TLevel level;
    level.Add("Conquest/ControlPoints.con", [] {
        return std::string("Object.create A\r\nObject.absolutePosition 336.1e241/56/856\r\n"
                           "Object.create B\r\nObject.absolutePosition 1/2/-1000000.5\r\n"
                           "Object.create C\r\nObject.absolutePosition -1e6/1000000/3\r\n");
    });
    const std::vector<TLevelObject> objects = ReadLevelObjects(level, "Conquest");
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0].X, -1e6);

    // Whatever an object's place, the object file holds it in full.
    const std::vector<TLevelObject> far{{"a", 1e300, -1.7976931348623157e308, 0.0005, 0, false}};
    TTextList file;
    file.SetText(ObjectFileText("far", far));
    const std::vector<TObjectGroup> groups = ReadObjectGroups(file);
    ASSERT_EQ(groups.size(), 1u);
    TMapObject read;
    read.SetPosition(groups[0].Position);
    EXPECT_DOUBLE_EQ(read.FX, 1e300);
    EXPECT_DOUBLE_EQ(read.FZ, 0.001); // three decimals, half up
}

TEST(LevelObjects, RealLevels)
{
    SKIP_WITHOUT_FIXTURES();
    const TLevel kwajalein = TLevel::FromFolder(FixturesFolder() + "/levels/Kwajalein_Atoll");
    EXPECT_EQ(ReadWorldSize(kwajalein), 2048);
    const std::vector<TLevelObject> points = ReadLevelObjects(kwajalein, "Conquest");
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].Team, 1); // AxisBase
    EXPECT_EQ(points[1].Team, 2); // AlliedBase
    EXPECT_DOUBLE_EQ(points[2].X, 539.64);
    const TLevel kursk = TLevel::FromArchive(FixturesFolder() + "/archives/kursk.rfa");
    for (const char* mode : {"GPM_CQ", "GPM_CTF", "GPM_TDM"}) {
        const std::vector<TLevelObject> objects = ReadLevelObjects(kursk, GameTypeFolder(mode));
        EXPECT_GT(objects.size(), 5u) << mode;
        EXPECT_TRUE(std::any_of(objects.begin(), objects.end(), [](const TLevelObject& o) { return o.ControlPoint; })) << mode;
    }
}
