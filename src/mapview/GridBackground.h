#pragma once

// What the map view shows under the markers when the round's map has no picture: a neutral
// background with a line every 100 world units and a label every 500, placed by the
// calibration and the zoom as every position is, so the markers stand on a scale of the world.

#include "mapview/Calibration.h"

#include <QFont>
#include <QImage>
#include <QSize>

// Lines closer than this many pixels would fill the background: the step grows tenfold until
// they are not.
inline constexpr int MinGridSpacing = 4;

// The world units between two lines at the calibration and zoom (100 unless that is too dense).
double GridStep(const TCalibration& calibration, int zoom);

// The background of the zoomed map, `size` pixels (24 bits per pixel), at the zoom in
// thousandths; pictureHeight is the height the conversion measures map y from. A picture that
// is to be shown shrunk draws its lines lineWidth pixels wide.
QImage DrawGridBackground(const QSize& size, int zoom, const TCalibration& calibration, int pictureHeight,
                          const QFont& font, int lineWidth = 1);

// The colours, for the tests that find the lines.
inline constexpr QRgb GridGround = 0xFF565C54;
inline constexpr QRgb GridLine = 0xFF6A7066;
inline constexpr QRgb GridMajorLine = 0xFF868C82;
inline constexpr QRgb GridLabel = 0xFFB0B6AA;

// The grid of the last call, drawn anew only when something it depends on changed: a frame
// must not redraw a whole zoomed map of lines.
class TGridCache {
public:
    const QImage& Picture(const QSize& size, int zoom, const TCalibration& calibration, int pictureHeight,
                          const QFont& font);
    void Clear() { FPicture = QImage(); }

private:
    QImage FPicture;
    QSize FSize;
    int FZoom = 0;
    TCalibration FCalibration;
    int FHeight = 0;
    QFont FFont;
};
