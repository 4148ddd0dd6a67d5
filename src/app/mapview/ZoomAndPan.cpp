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
#include <QPainter>
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

void TTarvelMain::CreateZoomItems()
{
    View1->addSeparator();
    FitMapToWindow1 = View1->addAction(QStringLiteral("Fit map to window"));
    FitMapToWindow1->setObjectName(QStringLiteral("FitMapToWindow1"));
    FitMapToWindow1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    FitMapToWindow1->setShortcutContext(Qt::WindowShortcut);
    addAction(FitMapToWindow1); // the key works while the menu is closed
    connect(FitMapToWindow1, &QAction::triggered, this, [this] { RunHandler([this] { FitMapToWindow1Click(); }); });
}

void TTarvelMain::FitMapToWindow1Click()
{
    // The room the scroll box has with no scroll bar; the map's left edge lies outside it as
    // designed, so the whole of what can be seen fits.
    const QSize room = ScrollBox1->maximumViewportSize();
    SetZoom(ZoomToFit(room.width() - MapZoomImage->x(), room.height() - MapZoomImage->y()));
}

QSize TTarvelMain::MapViewSize() const
{
    if (FToolView)
        return *FToolView;
    return ScrollBox1->viewport()->size();
}

void TTarvelMain::ScrollMapView(TViewScroll scroll)
{
    const QSize view = MapViewSize();
    FToolScroll = LimitScroll(scroll, FZoom, view.width(), view.height(), MapZoomImage->x(),
                              MapZoomImage->y());
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

QImage TTarvelMain::ViewPicture() const
{
    const QSize view = MapViewSize();
    const TViewRect part = VisiblePart(FToolScroll, view.width(), view.height(), MapZoomImage->x(), MapZoomImage->y());
    QImage picture(view, QImage::Format_RGB888);
    picture.fill(ScrollBox1->viewport()->palette().color(QPalette::Window));
    QPainter painter(&picture);
    painter.drawImage(QPoint(-part.X, -part.Y), MapZoomImage->Picture());
    return picture;
}

void TTarvelMain::FormMouseWheel(int delta)
{
    FUserZoomed = true;
    SetZoom(CheckedAdd(FZoom, DivTrunc(delta, 2)));
}

void TTarvelMain::ScrollBox2MouseDown(int x, int y)
{
    FDragging = true;
    PanTo(x, y);
}

void TTarvelMain::BigPictureMouseMove(int x, int y)
{
    if (FDragging)
        PanTo(x, y);
}

void TTarvelMain::ScrollBox2MouseUp() { FDragging = false; }

void TTarvelMain::PanTo(int x, int y)
{
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
