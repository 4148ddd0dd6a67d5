// The zoomed map's side at a zoom, and the zoom that fits the whole map into a view.
#include "mapview/MapZoom.h"

#include "mapview/Calibration.h"

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

TEST(FirstView, AMapFittedToItsRoundIsFramedAnyOtherFillsALargerViewUntilTheUserZooms)
{
    using enum TFirstView;
    // pictureMissing, calibrationSaved, hasPlaces, largerThanDesigned, userZoomed
    EXPECT_EQ(FirstViewOf(true, false, true, false, false), FrameRound);
    EXPECT_EQ(FirstViewOf(true, false, true, true, true), FrameRound); // fitted anew: framed anew
    EXPECT_EQ(FirstViewOf(true, false, false, false, false), Keep);    // nothing to frame
    EXPECT_EQ(FirstViewOf(true, false, false, true, false), FitMap);
    EXPECT_EQ(FirstViewOf(true, true, true, false, false), Keep); // saved values: as the user left it
    EXPECT_EQ(FirstViewOf(false, false, true, false, false), Keep);
    EXPECT_EQ(FirstViewOf(false, false, true, true, false), FitMap);
    EXPECT_EQ(FirstViewOf(false, true, true, true, false), FitMap);
    EXPECT_EQ(FirstViewOf(false, false, true, true, true), Keep);
}

TEST(FirstView, TheFramedPlacesFillTheViewCentredWithinTheScrollRange)
{
    // Two places 100 map pixels apart across and 50 down, where the calibration puts them.
    const TCalibration c{1000, 1000, 10, -20};
    const std::optional<TMapBox> box = PlacesBox({{200, 400}, {300, 350}, {250, 380}}, c, 600);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->Left, 210);
    EXPECT_EQ(box->Right, 310);
    EXPECT_EQ(box->Top, 180);    // 600 - 400 - 20
    EXPECT_EQ(box->Bottom, 230);
    EXPECT_FALSE(PlacesBox({}, c, 600));

    // 1000 x 600 view: across, 952 pixels of room for 100 map pixels; down, 552 for 50: zoom
    // 9520, but the zoomed map stops at twice the view's larger side, 2000 of 600 pixels.
    const int zoom = ZoomToFrame(*box, 1000, 600);
    EXPECT_EQ(zoom, 3333);
    EXPECT_EQ(ZoomToFrame(*box, 1000, 4800), 9520);
    const TViewScroll scroll = ScrollToCentre(*box, zoom, 1000, 600, -8, 0);
    // The box's middle (260, 205) at zoom 3.333 lies at canvas (858.58, 683.27).
    EXPECT_EQ(scroll, (TViewScroll{359, 383}));
    const TViewRect part = VisiblePart(scroll, 1000, 600, -8, 0);
    const double z = zoom / 1000.0;
    EXPECT_GE(box->Left * z, part.X + FramePadding - 1);
    EXPECT_LE(box->Right * z, part.X + part.Width - FramePadding + 1);
    EXPECT_GE(box->Top * z, part.Y);
    EXPECT_LE(box->Bottom * z, part.Y + part.Height);

    // One place: the largest zoom, short of a map of two views; a box wider than the view at the
    // smallest: the smallest.
    EXPECT_EQ(ZoomToFrame({300, 300, 300, 300}, 800, 600), 2666);
    EXPECT_EQ(ZoomToFrame({300, 300, 300, 300}, 4000, 3000), MaxMapZoom);
    EXPECT_EQ(ZoomToFrame({0, 0, 600, 600}, 200, 200), MinMapZoom);
    EXPECT_EQ(ZoomToFrame({0, 0, 600, 600}, 10, 10), MinMapZoom);

    // Near the map's corners the scroll box's range holds the scroll: from 0 to the zoomed
    // map's edge less the view.
    EXPECT_EQ(ScrollToCentre({0, 0, 10, 10}, 2000, 500, 400, -8, 0), (TViewScroll{0, 0}));
    EXPECT_EQ(ScrollToCentre({590, 595, 600, 600}, 2000, 500, 400, -8, 0), (TViewScroll{1200 - 8 - 500, 800}));
    // A view larger than the zoomed map does not scroll.
    EXPECT_EQ(ScrollToCentre({590, 595, 600, 600}, 1000, 800, 700, -8, 0), (TViewScroll{0, 0}));
    EXPECT_EQ(LimitScroll({-5, 99999}, 1000, 300, 300, -8, 0), (TViewScroll{0, 300}));
}
