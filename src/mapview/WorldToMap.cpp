#include "mapview/WorldToMap.h"

#include "base/Numeric.h"

int32_t ScaleWorldToMap(int scalePosition, double value)
{
    const long double scale = static_cast<long double>(scalePosition) / 1000.0L;
    return RoundToInt32(scale * static_cast<long double>(value));
}
