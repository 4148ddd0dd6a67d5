#include "mapview/Minimap.h"

#include "base/Numeric.h"

#include <algorithm>
#include <cmath>

namespace {

int32_t ToInt32(long double value)
{
    return static_cast<int32_t>(std::clamp<long double>(value, INT32_MIN, INT32_MAX));
}

// The place on the zoomed map under a point of a shrunk minimap, centred in the view.
int32_t Centred(int32_t at, int32_t minimapSide, int32_t zoomedSide, int32_t viewSide, int32_t mapCorner)
{
    if (minimapSide <= 0)
        return 0;
    const long double place = std::nearbyint(static_cast<long double>(at) * zoomedSide / minimapSide);
    return ToInt32(place + mapCorner - viewSide / 2);
}

} // namespace

TMinimapSize MinimapSize(int32_t pictureWidth, int32_t pictureHeight, int32_t roomWidth, int32_t roomHeight)
{
    const int32_t width = DivTrunc(pictureWidth, 2);
    const int32_t height = DivTrunc(pictureHeight, 2);
    if (width <= 0 || height <= 0 || (width <= roomWidth && height <= roomHeight))
        return {std::max(width, 0), std::max(height, 0), true};
    if (roomWidth <= 0 || roomHeight <= 0)
        return {0, 0, false};
    // The side that reaches its room first decides; the other follows the picture's shape.
    if (static_cast<int64_t>(roomWidth) * height <= static_cast<int64_t>(roomHeight) * width)
        return {roomWidth, static_cast<int32_t>(std::max<int64_t>(1, static_cast<int64_t>(height) * roomWidth / width)), false};
    return {static_cast<int32_t>(std::max<int64_t>(1, static_cast<int64_t>(width) * roomHeight / height)), roomHeight, false};
}

TScrollPosition MinimapPan(const TMinimapSize& minimap, int32_t zoom, const TMinimapView& view, int32_t x, int32_t y)
{
    if (minimap.Halved) {
        auto position = [zoom](int32_t at) {
            return CheckedAdd(RoundToInt32(static_cast<long double>(CheckedMul(zoom, at)) / 1000.0L), CheckedMul(2, at));
        };
        return {position(x), position(y)};
    }
    return {Centred(x, minimap.Width, view.ZoomedWidth, view.ViewWidth, view.MapLeft),
            Centred(y, minimap.Height, view.ZoomedHeight, view.ViewHeight, view.MapTop)};
}
