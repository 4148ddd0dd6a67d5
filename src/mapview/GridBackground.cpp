#include "mapview/GridBackground.h"

#include "base/Numeric.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr double BaseStep = 100;
constexpr int MajorEvery = 5;

long double ZoomOf(int zoom) { return static_cast<long double>(zoom) / 1000.0L; }

// The zoomed pixel of a map pixel, as the frame places a centre.
int Zoomed(int mapPixel, int zoom) { return RoundToInt32(mapPixel * ZoomOf(zoom)); }

// The multiples of `step` whose lines can fall within `from`..`to` world units.
std::pair<long long, long long> StepsBetween(long double from, long double to, double step)
{
    if (from > to)
        std::swap(from, to);
    return {static_cast<long long>(std::floor(from / step)) - 1, static_cast<long long>(std::ceil(to / step)) + 1};
}

QString Number(double value) { return QString::number(value, 'f', 0); }

} // namespace

double GridStep(const TCalibration& c, int zoom)
{
    const long double pixelsPerUnit = std::min(c.XScale, c.YScale) / 1000.0L * ZoomOf(zoom);
    double step = BaseStep;
    while (step * pixelsPerUnit < MinGridSpacing && step < 1e9)
        step *= 10;
    return step;
}

QImage DrawGridBackground(const QSize& size, int zoom, const TCalibration& c, int pictureHeight, const QFont& font,
                          int lineWidth)
{
    QImage picture(size, QImage::Format_RGB888);
    if (picture.isNull())
        return picture;
    picture.fill(QColor::fromRgb(GridGround));
    const double step = GridStep(c, zoom);
    // The map pixels the picture covers, a little wider so that no line at the edge is lost.
    const long double mapRight = size.width() / ZoomOf(zoom) + 2;
    const long double mapBottom = size.height() / ZoomOf(zoom) + 2;
    const auto [firstX, lastX] =
        StepsBetween((-2.0L - c.Left) * 1000.0L / c.XScale, (mapRight - c.Left) * 1000.0L / c.XScale, step);
    const long double topZ = static_cast<long double>(pictureHeight) + c.Top + 2;
    const auto [firstZ, lastZ] =
        StepsBetween((topZ - mapBottom - 2) * 1000.0L / c.YScale, topZ * 1000.0L / c.YScale, step);

    struct TLine {
        int at;
        double world;
        bool major;
    };
    std::vector<TLine> columns, rows;
    for (long long k = firstX; k <= lastX; ++k) {
        const int x = Zoomed(CalibratedMapX(c, k * step), zoom);
        if (x >= 0 && x < size.width())
            columns.push_back({x, k * step, k % MajorEvery == 0});
    }
    for (long long k = firstZ; k <= lastZ; ++k) {
        const int y = Zoomed(CalibratedMapY(c, pictureHeight, k * step), zoom);
        if (y >= 0 && y < size.height())
            rows.push_back({y, k * step, k % MajorEvery == 0});
    }

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Minor lines first, so the major ones cross over them.
    for (const bool major : {false, true}) {
        painter.setPen(QPen(QColor::fromRgb(major ? GridMajorLine : GridLine), lineWidth));
        for (const TLine& column : columns)
            if (column.major == major)
                painter.drawLine(column.at, 0, column.at, size.height() - 1);
        for (const TLine& row : rows)
            if (row.major == major)
                painter.drawLine(0, row.at, size.width() - 1, row.at);
    }
    // Every crossing of two major lines says where it is, so a label is in sight wherever the
    // view is scrolled.
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(GridLabel));
    for (const TLine& column : columns)
        for (const TLine& row : rows)
            if (column.major && row.major)
                painter.drawText(QPoint(column.at + 3, row.at - 3), Number(column.world) + "," + Number(row.world));
    return picture;
}

const QImage& TGridCache::Picture(const QSize& size, int zoom, const TCalibration& calibration, int pictureHeight,
                                  const QFont& font)
{
    if (FPicture.isNull() || size != FSize || zoom != FZoom || !(calibration == FCalibration) ||
        pictureHeight != FHeight || font != FFont) {
        FPicture = DrawGridBackground(size, zoom, calibration, pictureHeight, font);
        FSize = size;
        FZoom = zoom;
        FCalibration = calibration;
        FHeight = pictureHeight;
        FFont = font;
    }
    return FPicture;
}
