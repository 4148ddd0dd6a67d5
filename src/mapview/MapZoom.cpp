#include "mapview/MapZoom.h"

#include "base/Numeric.h"
#include "mapview/Calibration.h"
#include "mapview/WorldToMap.h"

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

TFirstView FirstViewOf(bool pictureMissing, bool calibrationSaved, bool hasPlaces, bool largerThanDesigned,
                       bool userZoomed)
{
    if (pictureMissing && !calibrationSaved && hasPlaces)
        return TFirstView::FrameRound;
    if (largerThanDesigned && !userZoomed)
        return TFirstView::FitMap;
    return TFirstView::Keep;
}

std::optional<TMapBox> PlacesBox(const std::vector<TWorldPoint>& places, const TCalibration& c, int pictureHeight)
{
    std::optional<TMapBox> box;
    for (const TWorldPoint& p : places) {
        // Where the map view puts it: the conversion of the markers, in 64 bits so that no
        // place far off the picture can overflow here.
        const double x = static_cast<double>(ScaleWorldToMap(c.XScale, p.X)) + c.Left;
        const double y = static_cast<double>(pictureHeight) - ScaleWorldToMap(c.YScale, p.Z) + c.Top;
        if (!box)
            box = TMapBox{x, y, x, y};
        box->Left = std::min(box->Left, x);
        box->Right = std::max(box->Right, x);
        box->Top = std::min(box->Top, y);
        box->Bottom = std::max(box->Bottom, y);
    }
    return box;
}

int ZoomToFrame(const TMapBox& box, int viewWidth, int viewHeight)
{
    const long double roomX = std::max(0, viewWidth - 2 * FramePadding);
    const long double roomY = std::max(0, viewHeight - 2 * FramePadding);
    const long double spanX = box.Right - box.Left, spanY = box.Bottom - box.Top;
    // No framing makes the zoomed map more than twice the view's larger side: that bitmap and the
    // grid drawn into it cost memory by their area, and a handful of places close together is
    // seen well enough at that zoom.
    long double zoom = std::min<long double>(MaxMapZoom, 1000.0L * MaxFramedSideInViews * std::max(viewWidth, viewHeight) /
                                                             ZoomedMapSide(1000));
    if (spanX > 0)
        zoom = std::min(zoom, 1000.0L * roomX / spanX);
    if (spanY > 0)
        zoom = std::min(zoom, 1000.0L * roomY / spanY);
    return static_cast<int>(std::clamp<long double>(std::floor(zoom), MinMapZoom, MaxMapZoom));
}

TViewScroll LimitScroll(TViewScroll wanted, int zoom, int viewWidth, int viewHeight, int imageX, int imageY)
{
    // The canvas reaches to the zoomed map's right and bottom edges.
    const long long side = ZoomedMapSide(zoom);
    const long long rangeX = std::max<long long>(0, imageX + side - viewWidth);
    const long long rangeY = std::max<long long>(0, imageY + side - viewHeight);
    return {static_cast<int>(std::clamp<long long>(wanted.X, 0, rangeX)),
            static_cast<int>(std::clamp<long long>(wanted.Y, 0, rangeY))};
}

TViewScroll ScrollToCentre(const TMapBox& box, int zoom, int viewWidth, int viewHeight, int imageX, int imageY)
{
    const long double z = zoom / 1000.0L;
    const long double middleX = imageX + z * (box.Left + box.Right) / 2;
    const long double middleY = imageY + z * (box.Top + box.Bottom) / 2;
    const auto at = [](long double v) {
        return static_cast<int>(std::clamp<long double>(std::llround(v), -2000000000.0L, 2000000000.0L));
    };
    return LimitScroll({at(middleX - viewWidth / 2.0L), at(middleY - viewHeight / 2.0L)}, zoom, viewWidth, viewHeight,
                       imageX, imageY);
}

TViewRect VisiblePart(TViewScroll scroll, int viewWidth, int viewHeight, int imageX, int imageY)
{
    return {scroll.X - imageX, scroll.Y - imageY, viewWidth, viewHeight};
}
