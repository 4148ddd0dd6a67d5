#pragma once

// The zoom of the map view: the zoomed map is a square of the picture as drawn, DrawnMapSize
// map pixels, times the zoom slider's position in thousandths.

#include <cstdint>
#include <optional>
#include <vector>

inline constexpr int MinMapZoom = 500; // TBMApZoom
inline constexpr int MaxMapZoom = 10000;

// The side of the zoomed map in pixels at the zoom, as the zoom slider sizes it.
int32_t ZoomedMapSide(int zoom);

// The largest zoom the slider can take at which the whole zoomed map fits into `width` x
// `height` pixels; the smallest when even that does not fit.
int ZoomToFit(int width, int height);

// ---- The first view a selection gives the map ----------------------------------------------

struct TCalibration;
struct TWorldPoint;

// What selecting a round does to the map view's zoom and scroll.
enum class TFirstView {
    Keep,       // as the user left it
    FitMap,     // the whole map fitted to the view, as "Fit map to window" does
    FrameRound, // the round's places filling the view
};

// A map with neither a picture nor a saved calibration is fitted to its round by the selection
// (SelectionFit), so its view is framed on the round, whatever the user did before; any other
// map keeps the view, but in a view larger than designed the whole map fills it until the user
// has zoomed.
TFirstView FirstViewOf(bool pictureMissing, bool calibrationSaved, bool hasPlaces, bool largerThanDesigned,
                       bool userZoomed);

// Pixels of the unzoomed map.
struct TMapBox {
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
};
// The smallest box holding every place where the calibration puts it; nothing without places.
std::optional<TMapBox> PlacesBox(const std::vector<TWorldPoint>& places, const TCalibration& calibration,
                                 int pictureHeight);

// Room kept between the framed places and the view's edges, in view pixels: a marker or a flag
// drawn at a place reaches that far.
inline constexpr int FramePadding = 24;

// The framing's zoomed map is at most this many times the view's larger side.
inline constexpr int MaxFramedSideInViews = 2;

// The largest zoom the slider can take at which the box, zoomed, fits into the view with
// FramePadding on each side, short of a zoomed map larger than MaxFramedSideInViews views; the
// smallest when even that does not fit.
int ZoomToFrame(const TMapBox& box, int viewWidth, int viewHeight);

// The map view: a scroll box of viewWidth x viewHeight visible pixels, on whose canvas the zoomed
// map's corner lies at (imageX, imageY) (the designed map lies 8 pixels left of the canvas).
struct TViewScroll {
    int X = 0, Y = 0;
    bool operator==(const TViewScroll&) const = default;
};
// The scroll that puts the box's middle, zoomed, in the middle of the view, as far as the scroll
// box's range allows: it reaches to the zoomed map's right and bottom edges.
TViewScroll ScrollToCentre(const TMapBox& box, int zoom, int viewWidth, int viewHeight, int imageX, int imageY);
// The scroll position the range allows, the scroll box's own limit.
TViewScroll LimitScroll(TViewScroll wanted, int zoom, int viewWidth, int viewHeight, int imageX, int imageY);

// The part of the zoomed map's bitmap that the view shows at the scroll, in the bitmap's
// pixels; it may reach beyond the bitmap where the view is larger than the map.
struct TViewRect {
    int X = 0, Y = 0, Width = 0, Height = 0;
};
TViewRect VisiblePart(TViewScroll scroll, int viewWidth, int viewHeight, int imageX, int imageY);
