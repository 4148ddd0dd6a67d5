#pragma once

// The minimap: the whole zoomed map shrunk to half the map picture, or, for a picture whose
// half does not fit the room the minimap's page gives it, shrunk further to that room with
// the picture's shape; and where a point of it pans the map view.

#include <cstdint>

// The room of the minimap as the page was designed (BigPicture's 300 x 300); a taller page
// adds its extra height.
inline constexpr int32_t MinimapDesignedRoom = 300;

struct TMinimapSize {
    int32_t Width = 0;
    int32_t Height = 0;
    // Half the picture. A minimap shrunk to its room pans by where its point lies on the map.
    bool Halved = true;
};

// The minimap of a picture of `pictureWidth` x `pictureHeight` in a room of `roomWidth` x
// `roomHeight` pixels: half the picture (toward zero) where that fits, else the largest size
// of the picture's shape that does, at least a pixel each way.
TMinimapSize MinimapSize(int32_t pictureWidth, int32_t pictureHeight, int32_t roomWidth, int32_t roomHeight);

// The map view the minimap pans: the zoomed map's size, the visible part's size, and where the
// zoomed map's corner lies in the scrolled area.
struct TMinimapView {
    int32_t ZoomedWidth = 0;
    int32_t ZoomedHeight = 0;
    int32_t ViewWidth = 0;
    int32_t ViewHeight = 0;
    int32_t MapLeft = 0;
    int32_t MapTop = 0;
};

struct TScrollPosition {
    int32_t X = 0;
    int32_t Y = 0;
    bool operator==(const TScrollPosition&) const = default;
};

// Where a press or a drag at (x, y) on the minimap scrolls the map view, before the scroll
// box holds it to its range. A halved minimap keeps the designed formula, Round(zoom × x /
// 1000) + 2 × x for each axis, which knows nothing of the view; a shrunk one centres the
// view on the place of the map under the point.
TScrollPosition MinimapPan(const TMinimapSize& minimap, int32_t zoom, const TMinimapView& view, int32_t x, int32_t y);
