#include "mapview/MapZoom.h"

#include "base/Numeric.h"
#include "mapview/Calibration.h"

#include <algorithm>
#include <cmath>

int32_t ZoomedMapSide(int zoom) { return RoundToInt32(static_cast<long double>(zoom) / 1000.0L * DrawnMapSize); }

int ZoomToFit(int width, int height)
{
    const int room = std::min(width, height);
    if (room < ZoomedMapSide(MinMapZoom))
        return MinMapZoom;
    int zoom = static_cast<int>(std::min<long long>(MaxMapZoom, 1000LL * room / DrawnMapSize));
    // The side is rounded: the guess can be one off either way.
    while (zoom > MinMapZoom && ZoomedMapSide(zoom) > room)
        --zoom;
    while (zoom < MaxMapZoom && ZoomedMapSide(zoom + 1) <= room)
        ++zoom;
    return zoom;
}
