#pragma once

// A heat map of one map over the whole library: where players died or killed, a density drawn
// over the map's picture. Each place goes where the map view would centre a marker standing
// there: the map's picture and saved calibration found by name as selecting a round finds them
// (the user's imported maps included), and a map with no picture drawn on the world's grid the
// replay shows for such maps.

#include "library/RoundRecord.h"
#include "mapview/Calibration.h"

#include <QColor>
#include <QFont>
#include <QImage>

#include <string>
#include <vector>

class TProgramFiles;

// The map under the heat.
struct THeatBase {
    QImage picture;        // null: the map has no picture, the grid stands in
    TCalibration placing;  // the scales and the margins that place world positions
    int pictureHeight = 0; // map y is measured up from it, as for markers
};

// The map's picture and the calibration its round would be replayed with: the saved one; on a
// map with neither picture nor saved calibration, the fit to the places (and the map's objects)
// that selecting a round makes; else the sliders' start. A picture file that cannot be read
// raises.
THeatBase HeatBaseOf(const TProgramFiles& files, const std::string& map, const std::vector<TWorldPlace>& places);

// The heat's picture is never larger than this a side, however large the map's picture.
inline constexpr int MaxHeatSide = 4096;
// ... nor smaller: a small picture is stretched, as the map view stretches it.
inline constexpr int MinHeatSide = 1024;
// The radius of one place's blob, in map pixels (the map as drawn is DrawnMapSize of them).
inline constexpr int HeatRadius = 10;

// The zoom (thousandths) the heat map is drawn at: the map's picture at its own size, within
// MinHeatSide and MaxHeatSide.
int HeatZoom(const THeatBase& base);

struct THeatMap {
    QImage picture; // the zoomed map, the heat over it
    int points = 0; // the places whose centre fell on it
};

// The map zoomed as the map view zooms it (a square of ZoomedMapSide(zoom) pixels, the picture
// stretched over it), each place's blob centred where a marker's centre would be drawn, the
// densities summed and coloured by HeatColour of their share of the highest.
THeatMap DrawHeatMap(const THeatBase& base, const std::vector<TWorldPlace>& places, int zoom, const QFont& font);

// The colour of a share (0 to 1) of the highest density: transparent blue for little, through
// cyan, green and yellow, to nearly opaque red for the most.
QColor HeatColour(double share);
