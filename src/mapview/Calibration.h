#pragma once

// The calibration that places world positions on the map picture, as the four sliders of the
// Admin page hold it, and the two ways of finding one: from reference pairs (a world position
// and the map pixel where it really lies) and from the positions of a round.
//
// The model: map x = Round(XScale / 1000 × X) + Left, map y = picture height −
// Round(YScale / 1000 × Z) + Top, with the program's own rounding (halves to even). The frame
// stretches the picture over a square of DrawnMapSize map pixels, so a position lies on the
// picture as drawn when its map pixel lies within 0..DrawnMapSize on both axes.

#include "base/Errors.h"

#include <string>
#include <vector>

inline constexpr int MinCalibrationScale = 10;    // TBXas and TBYas
inline constexpr int MaxCalibrationScale = 5000;
inline constexpr int MinCalibrationOffset = -4000; // TBLeft and TBTop
inline constexpr int MaxCalibrationOffset = 4000;
inline constexpr int DrawnMapSize = 600; // map pixels of the picture as drawn, either axis
// How far apart, in map pixels along an axis, two pairs must lie to fix that axis.
inline constexpr double MinPairSpread = 10;

struct TCalibration {
    int XScale = 2000; // TBXas: thousandths of a map pixel per world unit along X
    int YScale = 2000; // TBYas: the same along Z
    int Left = 0;      // TBLeft: map pixels added to x
    int Top = 0;       // TBTop: map pixels added to y

    bool operator==(const TCalibration&) const = default;
};

struct TReferencePair {
    double WorldX = 0;
    double WorldZ = 0;
    double MapX = 0; // where the position really lies, in unzoomed map pixels
    double MapY = 0;
};

struct TWorldPoint {
    double X = 0;
    double Z = 0;
};

// What a click on the map view picked for a reference pair: a drawn object's or player's world
// position, and what it was, for people.
struct TMapPick {
    double X = 0;
    double Z = 0;
    std::string Name;
};

// Pairs or positions that cannot give a calibration; the message says which axis and why.
class ECalibrationError : public EBaseError {
public:
    using EBaseError::EBaseError;
};

// Where the calibration puts a world position, exactly as the map view does.
int CalibratedMapX(const TCalibration& calibration, double x);
int CalibratedMapY(const TCalibration& calibration, int pictureHeight, double z);

// The distance, in map pixels, from where the calibration puts the pair's world position to
// where the pair says it lies.
double PairResidual(const TCalibration& calibration, int pictureHeight, const TReferencePair& pair);
std::vector<double> PairResiduals(const TCalibration& calibration, int pictureHeight,
                                  const std::vector<TReferencePair>& pairs);

// The slider values that put the pairs closest to their map pixels (least squares, each axis on
// its own), among the values the sliders can take; ties go to the value nearest the straight-line
// fit. Raises ECalibrationError when the pairs cannot fix an axis: fewer than two pairs, or none
// at different world positions lying MinPairSpread map pixels apart along it.
TCalibration SolveCalibration(const std::vector<TReferencePair>& pairs, int pictureHeight);

// The values that put every position on the picture as drawn, with a margin of 5 % of its size
// on each side, at the same scale on both axes: the largest scale at which offsets within the
// sliders' ranges can hold them there, centred as far as those offsets allow. A round spread
// wider than the picture holds at the smallest scale is centred as far as the offsets reach.
// Raises ECalibrationError only when there is no position or one is no usable number.
TCalibration FitCalibration(const std::vector<TWorldPoint>& points, int pictureHeight);

// {"TBXas":..,"TBYas":..,"TBLeft":..,"TBTop":..,"residuals":[..]}
std::string CalibrationJson(const TCalibration& calibration, const std::vector<double>& residuals);
