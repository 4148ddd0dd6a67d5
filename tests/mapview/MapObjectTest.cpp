#include "TestUtil.h"
#include "base/Errors.h"
#include "base/TextList.h"
#include "mapview/MapObject.h"
#include "mapview/WorldToMap.h"

#include <gtest/gtest.h>

TEST(WorldToMap, DivisionFirstAndHalvesToEven)
{
    EXPECT_EQ(ScaleWorldToMap(2000, 100.25), 200);
    EXPECT_EQ(ScaleWorldToMap(2000, 100.75), 202);
    EXPECT_EQ(ScaleWorldToMap(1000, 2.5), 2);
    EXPECT_EQ(ScaleWorldToMap(1000, 3.5), 4);
    EXPECT_EQ(ScaleWorldToMap(2000, 100), 200);
    EXPECT_EQ(ScaleWorldToMap(10, -1), 0);
    EXPECT_EQ(MessageOf([] { ScaleWorldToMap(5000, 1e9); }), "Range check error");
}

namespace {

TMapObjectList Objects(std::initializer_list<std::pair<const char*, const char*>> classAndPosition)
{
    TMapObjectList list;
    for (const auto& [objectClass, position] : classAndPosition) {
        TMapObject* o = list.Add(position);
        o->SetObjectClass(objectClass);
        o->SetPosition(position);
        o->SetPictureName(objectClass);
    }
    return list;
}

} // namespace

TEST(MapObjectSearch, NearestRoundFirstThenListOrder)
{
    TSeparatorScope point('.');
    const TMapObjectList list = Objects({{"controlpoint", "100/0/100"},
                                         {"Jeep", "105/0/105"},
                                         {"mycontrolpointX", "112/0/100"},
                                         {"controlpoint", "101/0/101"},
                                         {"Jeep", "200/0/200"}});
    EXPECT_EQ(FindControlPointNear(list, "110/10/110"), list.Object(0)); // exactly 10 on each axis
    EXPECT_EQ(FindControlPointNear(list, "112/0/100"), list.Object(2));  // a class containing the word
    EXPECT_EQ(FindControlPointNear(list, "100/0/2102"), nullptr);        // over 2000 away from all
    EXPECT_EQ(FindOtherObjectNear(list, "190/0/190"), list.Object(4));
    EXPECT_EQ(FindMapObjectNear(list, "199/0/199", "Jeep"), list.Object(4));
    EXPECT_EQ(FindMapObjectNear(list, "104/0/104", "Jeep"), list.Object(1));
    // No object with that picture within 200: the nearest other object.
    EXPECT_EQ(FindMapObjectNear(list, "600/0/600", "Truck"), list.Object(4));
    EXPECT_TRUE(list.Object(1)->IsNear("106/1/104", 1));
    EXPECT_FALSE(list.Object(1)->IsNear("106.5/0/105", 1));
    // A search that tests no object never reads the position.
    EXPECT_EQ(FindMapObjectNear(TMapObjectList(), "1.2.3/0/0", "Jeep"), nullptr);
    EXPECT_THROW(FindControlPointNear(list, "1.2.3/0/0"), EConvertError);
}

TEST(MapObjectList, BadIndexesRaiseTheListError)
{
    TSeparatorScope point('.');
    TMapObjectList list = Objects({{"controlpoint", "1/2/3"}, {"Jeep", "4/5/6"}});
    EXPECT_EQ(list.Text(1), "4/5/6");
    EXPECT_EQ(MessageOf([&] { list.Object(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(MessageOf([&] { list.Object(list.Count()); }), "List index out of bounds (2)");
    EXPECT_EQ(MessageOf([&] { list.Text(5); }), "List index out of bounds (5)");
    list.Clear();
    EXPECT_EQ(MessageOf([&] { list.Object(0); }), "List index out of bounds (0)");
}

TEST(MapObject, ClassTrimmedAndPositionReset)
{
    TSeparatorScope point('.');
    TMapObject o;
    o.SetObjectClass(" \tJeep \r");
    EXPECT_EQ(o.FObjectClass, "Jeep");
    EXPECT_TRUE(o.FImage.Transparent && o.FImage.Stretch && !o.FImage.AutoSize);
    o.FStartPosition = "1/2/3";
    o.SetPosition("-4/5/6");
    EXPECT_EQ(o.FX, 4);
    o.ResetPosition();
    EXPECT_EQ(o.FPosition, "1/2/3");
    EXPECT_EQ(o.FZ, 3);
}

TEST(ObjectFile, GroupsKeywordsAndCutShortGroups)
{
    TTextList file;
    file.SetText("rem the map's objects\r\n"
                 "Object.create controlpoint\r\n"
                 "Object.absolutePosition 1392.13/66.7804/853.743\r\n"
                 "Object.rotation 0/0/0\r\n"
                 "Object.setTeam  0\r\n"
                 "OBJECT.CREATE Lost\r\n"          // no position: skipped
                 "object.create  Jeep \r\n"
                 "OBJECT.ABSOLUTEPOSITION 10/20/30\r\n"
                 "  Object.setTeam 2\r\n"           // indented: no team line
                 "Object.create Truck\r\n"
                 "Object.absolutePosition 1/2/3\r\n"
                 "Object.SetTeam -1\r\n"
                 "Object.create Cut\r\n"
                 "Object.absolutePosition 9/9/9\r\n");
    const std::vector<TObjectGroup> groups = ReadObjectGroups(file);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].ObjectClass, "controlpoint");
    EXPECT_EQ(groups[0].Position, "1392.13/66.7804/853.743");
    EXPECT_EQ(groups[0].Team, " 0");
    EXPECT_EQ(groups[1].ObjectClass, "Truck");
    EXPECT_EQ(groups[1].Team, "-1");
}
