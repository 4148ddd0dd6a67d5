#include "mapview/WorldToMap.h"

#include "base/Numeric.h"

int32_t ScaleWorldToMap(int scalePosition, double value)
{
    const long double scale = static_cast<long double>(scalePosition) / 1000.0L;
    return RoundToInt32(scale * static_cast<long double>(value));
}

#include "app/UTarvelMain.h"

#include <QSlider>

int32_t TTarvelMain::WorldToMapX(double x) const { return ScaleWorldToMap(TBXas->value(), x); }

int32_t TTarvelMain::WorldToMapY(double z) const
{
    // Z runs up the map and pixel rows down it: measured from the picture's bottom edge.
    return CheckedSub(FMapImage.Height, ScaleWorldToMap(TBYas->value(), z));
}
