// The zoom slider, the mouse wheel and the fit of the map to the window, and panning the map
// from the minimap.
#include "app/UTarvelMain.h"
#include "base/ErrorReporting.h"
#include "base/Numeric.h"
#include "mapview/MapZoom.h"
#include "round/RoundView.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QStyle>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

namespace {

// The view a framed map is centred in: it reaches past the view, so the scroll bars take their
// room from it.
QSize FramedViewSize(const QAbstractScrollArea& box)
{
    const int bar = box.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &box);
    return box.maximumViewportSize() - QSize(bar, bar);
}

} // namespace

void TTarvelMain::SetZoom(int zoom)
{
    zoom = std::clamp(zoom, MinMapZoom, MaxMapZoom);
    if (zoom == FZoom)
        return;
    FZoom = zoom;
    {
        // The slider's signal is the user's move; this one is the program's.
        const QSignalBlocker quiet(TBMApZoom);
        TBMApZoom->setValue(zoom);
    }
    TBMApZoomChange();
}

void TTarvelMain::TBMApZoomChange()
{
    const int32_t side = ZoomedMapSide(FZoom);
    MapZoomImage->resize(side, side);
    // A new bitmap holds nothing of the last frame: the next frame draws all of it, and one is
    // asked for, or a replay that stopped would show a blank map at its new size.
    if (MapZoomImage->SetBitmapSize(side, side)) {
        FFrameCanvas.Invalidate();
        FLayoutChanged = true;
    }
    MapZoomImage->update();
    OverlaysMayHaveMoved(); // the kill feed keeps to the view's corner
}

void TTarvelMain::ScrollMapView(TViewScroll scroll)
{
    ScrollBox1->horizontalScrollBar()->setValue(scroll.X);
    ScrollBox1->verticalScrollBar()->setValue(scroll.Y);
}

void TTarvelMain::ApplyFirstView()
{
    const std::optional<TViewPlace> place =
        FirstViewPlace(FReplay.Map(), MapViewLargerThanDesigned(), FUserZoomed, ScrollBox1->maximumViewportSize(),
                       FramedViewSize(*ScrollBox1), MapZoomImage->pos());
    if (place) {
        SetZoom(place->zoom);
        ScrollMapView(place->scroll);
    }
}

void TTarvelMain::FrameMapView(const std::vector<TWorldPoint>& places)
{
    const std::optional<TViewPlace> place = FramePlaces(places, FReplay.Map(), FramedViewSize(*ScrollBox1), MapZoomImage->pos());
    if (place) {
        SetZoom(place->zoom);
        ScrollMapView(place->scroll);
    }
}

void TTarvelMain::FormMouseWheel(int delta)
{
    FUserZoomed = true;
    SetZoom(CheckedAdd(FZoom, DivTrunc(delta, 2)));
}

void TTarvelMain::ScrollBox2MouseDown(int x, int y)
{
    FDragging = true;
    BigPictureMouseMove(x, y);
}

void TTarvelMain::ScrollBox2MouseUp() { FDragging = false; }

void TTarvelMain::BigPictureMouseMove(int x, int y)
{
    if (!FDragging)
        return;
    const TMinimapView view{MapZoomImage->width(),
                            MapZoomImage->height(),
                            ScrollBox1->viewport()->width(),
                            ScrollBox1->viewport()->height(),
                            MapZoomImage->x(),
                            MapZoomImage->y()};
    const TScrollPosition position = MinimapPan(FMinimap, FZoom, view, x, y);
    ScrollBox1->horizontalScrollBar()->setValue(position.X);
    ScrollBox1->verticalScrollBar()->setValue(position.Y);
    // Tracking would pull the view straight back.
    CBTrackPlayer->setChecked(false);
}
