#include "library/HeatMap.h"

#include "base/Numeric.h"
#include "mapview/GridBackground.h"
#include "mapview/MapZoom.h"
#include "mapview/Overlays.h"
#include "mapview/RoundMap.h"
#include "settings/ProgramFolder.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>

THeatBase HeatBaseOf(const TProgramFiles& files, const std::string& map, const std::vector<TWorldPlace>& places)
{
    TRoundMap shown(files);
    shown.ShowPicture(map);
    const TSavedCalibration saved(files.Settings(), map);
    std::optional<TCalibration> fit;
    if (shown.PictureMissing() && !saved.Present()) {
        // As a round's selection fits such a map to its places: here, every place of the heat.
        std::vector<TWorldPoint> points;
        for (const TWorldPlace& place : places)
            points.push_back({place.x, place.z});
        const std::vector<TWorldPoint> objects = ObjectFilePlaces(shown.ObjectFile());
        points.insert(points.end(), objects.begin(), objects.end());
        if (!points.empty()) {
            try {
                fit = FitCalibration(points, shown.Picture().Height);
            } catch (const ECalibrationError&) {
                // a place that is no usable number: the sliders stay
            }
        }
    }
    TakeSelectionCalibration(saved, fit, shown.Calibration(),
                             [&shown](int TCalibration::*bar, int position, bool) { shown.MoveSlider(bar, position); });
    THeatBase base;
    if (!shown.PictureMissing() && shown.Picture().HasPicture())
        base.picture = shown.Picture().Picture();
    base.placing = shown.Calibration().Placing();
    base.pictureHeight = shown.Picture().Height;
    return base;
}

int HeatZoom(const THeatBase& base)
{
    const int own = base.picture.isNull() ? 0 : std::max(base.picture.width(), base.picture.height());
    const int side = std::clamp(own, MinHeatSide, MaxHeatSide);
    // The largest zoom whose map is no larger than the side.
    int zoom = static_cast<int>(static_cast<long long>(side) * 1000 / DrawnMapSize);
    while (zoom > MinMapZoom && ZoomedMapSide(zoom) > side)
        --zoom;
    return std::clamp(zoom, MinMapZoom, MaxMapZoom);
}

QColor HeatColour(double share)
{
    share = std::clamp(share, 0.0, 1.0);
    // Hue from blue (240 degrees) down to red; faint where little happened.
    QColor colour = QColor::fromHsvF(static_cast<float>((1 - share) * 240.0 / 360.0), 1.f, 1.f);
    colour.setAlphaF(static_cast<float>(0.85 * std::sqrt(share)));
    return colour;
}

THeatMap DrawHeatMap(const THeatBase& base, const std::vector<TWorldPlace>& places, int zoom, const QFont& font)
{
    zoom = std::clamp(zoom, MinMapZoom, MaxMapZoom);
    const int side = ZoomedMapSide(zoom);
    THeatMap heat;
    if (base.picture.isNull()) {
        heat.picture = DrawGridBackground(QSize(side, side), zoom, base.placing, base.pictureHeight, font)
                           .convertToFormat(QImage::Format_RGB888);
    } else {
        heat.picture = QImage(side, side, QImage::Format_RGB888);
        heat.picture.fill(Qt::white);
        QPainter painter(&heat.picture);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(0, 0, side, side), base.picture);
    }

    // Each blob falls smoothly to nothing at its radius.
    const long double scale = static_cast<long double>(zoom) / 1000.0L;
    const int radius = std::max(1, static_cast<int>(std::lround(HeatRadius * static_cast<double>(scale))));
    const int width = 2 * radius + 1;
    std::vector<float> kernel(static_cast<size_t>(width * width));
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const double q = 1 - (dx * dx + dy * dy) / static_cast<double>(radius * radius);
            kernel[static_cast<size_t>((dy + radius) * width + dx + radius)] = q > 0 ? static_cast<float>(q * q) : 0.f;
        }
    const TMapPlacing placing{base.placing.XScale, base.placing.YScale, base.placing.Left, base.placing.Top,
                              base.pictureHeight};
    std::vector<float> density(static_cast<size_t>(side) * static_cast<size_t>(side), 0.f);
    for (const TWorldPlace& place : places) {
        const std::optional<QPoint> mapped = placing.Place(place.x, place.z);
        if (!mapped)
            continue;
        int cx = 0, cy = 0;
        try {
            // As a marker's centre is zoomed.
            cx = RoundToInt32(mapped->x() * scale);
            cy = RoundToInt32(mapped->y() * scale);
        } catch (const std::exception&) {
            continue;
        }
        if (cx < 0 || cy < 0 || cx >= side || cy >= side)
            continue;
        ++heat.points;
        const int top = std::max(0, cy - radius), bottom = std::min(side - 1, cy + radius);
        const int left = std::max(0, cx - radius), right = std::min(side - 1, cx + radius);
        for (int y = top; y <= bottom; ++y) {
            float* row = &density[static_cast<size_t>(y) * static_cast<size_t>(side)];
            const float* k = &kernel[static_cast<size_t>((y - cy + radius) * width + radius + left - cx)];
            for (int x = left; x <= right; ++x)
                row[x] += *k++;
        }
    }
    const float highest = *std::max_element(density.begin(), density.end());
    if (highest <= 0)
        return heat;
    // Shares on a log scale: one busy corner must not wash every other place out.
    constexpr int Steps = 1024;
    std::vector<QColor> colours(Steps + 1);
    for (int i = 0; i <= Steps; ++i)
        colours[static_cast<size_t>(i)] = HeatColour(static_cast<double>(i) / Steps);
    const double logHighest = std::log1p(static_cast<double>(highest));
    for (int y = 0; y < side; ++y) {
        uchar* line = heat.picture.scanLine(y);
        const float* row = &density[static_cast<size_t>(y) * static_cast<size_t>(side)];
        for (int x = 0; x < side; ++x) {
            if (row[x] <= 0)
                continue;
            const double share = std::log1p(static_cast<double>(row[x])) / logHighest;
            const QColor& c = colours[static_cast<size_t>(std::lround(share * Steps))];
            const double a = c.alphaF();
            uchar* pixel = line + 3 * x;
            pixel[0] = static_cast<uchar>(std::lround(c.red() * a + pixel[0] * (1 - a)));
            pixel[1] = static_cast<uchar>(std::lround(c.green() * a + pixel[1] * (1 - a)));
            pixel[2] = static_cast<uchar>(std::lround(c.blue() * a + pixel[2] * (1 - a)));
        }
    }
    return heat;
}
