// The zoomed map's side at a zoom, and the zoom that fits the whole map into a view.
#include "mapview/MapZoom.h"

#include <gtest/gtest.h>

TEST(MapZoom, TheSideIsTheDrawnMapTimesTheZoomRoundedHalfToEven)
{
    EXPECT_EQ(ZoomedMapSide(1000), 600);
    EXPECT_EQ(ZoomedMapSide(1001), 601); // 600.6
    EXPECT_EQ(ZoomedMapSide(1250), 750);
    EXPECT_EQ(ZoomedMapSide(MinMapZoom), 300);
    EXPECT_EQ(ZoomedMapSide(MaxMapZoom), 6000);
}

TEST(MapZoom, TheFitIsTheLargestZoomWhoseMapFitsTheShorterSide)
{
    EXPECT_EQ(ZoomToFit(600, 600), 1000);
    EXPECT_EQ(ZoomToFit(1500, 900), 1500);
    EXPECT_EQ(ZoomToFit(900, 1500), 1500);
    EXPECT_EQ(ZoomToFit(472, 587), 787); // 472.2 rounds to 472, 472.8 to 473
    // Every room the slider's range spans: the map fits, and one thousandth more would not.
    for (int room = ZoomedMapSide(MinMapZoom); room <= ZoomedMapSide(MaxMapZoom); ++room) {
        const int zoom = ZoomToFit(room, room + 7);
        ASSERT_LE(ZoomedMapSide(zoom), room) << room;
        if (zoom < MaxMapZoom)
            ASSERT_GT(ZoomedMapSide(zoom + 1), room) << room;
    }
    // Beyond the range: its ends.
    EXPECT_EQ(ZoomToFit(299, 1000), MinMapZoom);
    EXPECT_EQ(ZoomToFit(0, 0), MinMapZoom);
    EXPECT_EQ(ZoomToFit(-5, 800), MinMapZoom);
    EXPECT_EQ(ZoomToFit(100000, 100000), MaxMapZoom);
    EXPECT_EQ(ZoomToFit(2147483647, 2147483647), MaxMapZoom);
}
