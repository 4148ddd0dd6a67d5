// The minimap's size in its page's room and where a point of it pans the map view.
#include "mapview/Minimap.h"

#include <gtest/gtest.h>

namespace {

TMinimapView View(int32_t zoomedSide, int32_t viewWidth, int32_t viewHeight)
{
    return {zoomedSide, zoomedSide, viewWidth, viewHeight, -8, 0};
}

} // namespace

TEST(Minimap, HalfThePictureWhereItFitsElseShrunkToTheRoomInThePicturesShape)
{
    // Half the picture, toward zero, as long as it fits the room.
    for (const auto& [w, h, room, mw, mh] : {std::tuple{600, 600, 300, 300, 300}, {601, 401, 300, 300, 200},
                                              {1000, 800, 500, 500, 400}, {1001, 801, 500, 500, 400}, {200, 160, 300, 100, 80}}) {
        const TMinimapSize m = MinimapSize(w, h, room, room);
        EXPECT_EQ(m.Width, mw) << w;
        EXPECT_EQ(m.Height, mh) << w;
        EXPECT_TRUE(m.Halved) << w;
    }
    // A picture whose half does not fit: its shape, within the room, touching its nearer side.
    for (const auto& [w, h, rw, rh, mw, mh] :
         {std::tuple{4096, 4096, 300, 300, 300, 300}, {4096, 4096, 300, 664, 300, 300}, {1000, 800, 300, 300, 300, 240},
          {1024, 4096, 300, 300, 75, 300}, {1024, 4096, 300, 664, 166, 664}, {602, 600, 300, 300, 300, 299},
          {100000, 2, 300, 300, 300, 1}}) {
        const TMinimapSize m = MinimapSize(w, h, rw, rh);
        EXPECT_EQ(m.Width, mw) << w << "x" << h << " in " << rw << "x" << rh;
        EXPECT_EQ(m.Height, mh) << w << "x" << h << " in " << rw << "x" << rh;
        EXPECT_FALSE(m.Halved);
    }
    // No picture: no minimap; no room: none either.
    EXPECT_EQ(MinimapSize(0, 0, 300, 300).Width, 0);
    EXPECT_EQ(MinimapSize(1, 1, 300, 300).Width, 0);
    EXPECT_EQ(MinimapSize(4096, 4096, 0, 0).Width, 0);
}

TEST(Minimap, AHalvedMinimapPansByTheDesignedFormulaWhateverTheView)
{
    const TMinimapSize halved = MinimapSize(600, 600, 300, 300);
    for (const TMinimapView view : {View(600, 464, 587), View(6000, 1500, 950)}) {
        EXPECT_EQ(MinimapPan(halved, 1000, view, 10, 20), (TScrollPosition{30, 60}));
        EXPECT_EQ(MinimapPan(halved, 1500, view, 10, 20), (TScrollPosition{35, 70}));
        // 1.25 x 2 = 2.5 and 1.25 x 6 = 7.5: halves go to even.
        EXPECT_EQ(MinimapPan(halved, 1250, view, 2, 6), (TScrollPosition{2 + 4, 8 + 12}));
    }
    // Before any frame there is no minimap of a picture, and the formula holds as well.
    EXPECT_EQ(MinimapPan(TMinimapSize{}, 1000, View(600, 464, 587), 10, 20), (TScrollPosition{30, 60}));
}

TEST(Minimap, AShrunkMinimapCentresTheViewOnThePlaceUnderThePoint)
{
    const TMinimapSize shrunk = MinimapSize(4096, 4096, 300, 300);
    ASSERT_FALSE(shrunk.Halved);
    // Zoom 3000: the zoomed map is 1800 square, the view 456 x 570, the map's corner at -8.
    const TMinimapView view = View(1800, 456, 570);
    const auto centreOfView = [&](const TScrollPosition& p) { return TScrollPosition{p.X + 456 / 2 + 8, p.Y + 570 / 2}; };
    EXPECT_EQ(centreOfView(MinimapPan(shrunk, 3000, view, 150, 150)), (TScrollPosition{900, 900}));
    EXPECT_EQ(centreOfView(MinimapPan(shrunk, 3000, view, 0, 300)), (TScrollPosition{0, 1800}));
    EXPECT_EQ(centreOfView(MinimapPan(shrunk, 3000, view, 100, 1)), (TScrollPosition{600, 6}));
    // The zoom itself does not enter: only the zoomed map's size does.
    EXPECT_EQ(MinimapPan(shrunk, 500, view, 150, 150), MinimapPan(shrunk, 3000, view, 150, 150));
    // A minimap of another shape maps each axis by its own side.
    const TMinimapSize tall = MinimapSize(1024, 4096, 300, 300);
    EXPECT_EQ(centreOfView(MinimapPan(tall, 3000, view, 75, 150)), (TScrollPosition{1800, 900}));
    // A drag far outside the minimap stays a number the scroll box can hold to its range.
    const TScrollPosition far = MinimapPan(shrunk, 10000, View(6000, 456, 570), 2000000000, -2000000000);
    EXPECT_EQ(far.X, INT32_MAX);
    EXPECT_EQ(far.Y, INT32_MIN);
}
