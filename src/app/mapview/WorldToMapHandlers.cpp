// The calibration's scales applied to world coordinates.
#include "app/UTarvelMain.h"
#include "base/Numeric.h"
#include "mapview/WorldToMap.h"

#include <QSlider>

int32_t TTarvelMain::WorldToMapX(double x) const { return ScaleWorldToMap(FReplay.Map().Calibration().Sliders().XScale, x); }

int32_t TTarvelMain::WorldToMapY(double z) const
{
    // Z runs up the map and pixel rows down it: measured from the picture's bottom edge.
    return CheckedSub(FMapImage.Height, ScaleWorldToMap(FReplay.Map().Calibration().Sliders().YScale, z));
}
