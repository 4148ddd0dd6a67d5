// The zoom slider and the mouse wheel, and panning the map from the minimap.
#include "app/UTarvelMain.h"
#include "base/Numeric.h"

#include <QCheckBox>
#include <QScrollBar>
#include <QSlider>

void TTarvelMain::TBMApZoomChange()
{
    const int32_t side = RoundToInt32(static_cast<long double>(TBMApZoom->value()) / 1000.0L * 600);
    MapZoomImage->resize(side, side);
    // A new bitmap holds nothing of the last frame: the next frame draws all of it.
    if (MapZoomImage->SetBitmapSize(side, side))
        FFrameCanvas.Invalidate();
    MapZoomImage->update();
    OverlaysMayHaveMoved(); // the kill feed keeps to the view's corner
}

void TTarvelMain::FormMouseWheel(int delta)
{
    SetTrackBarPosition(TBMApZoom, CheckedAdd(TBMApZoom->value(), DivTrunc(delta, 2)));
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
    const int32_t zoom = TBMApZoom->value();
    auto position = [zoom](int32_t at) {
        return CheckedAdd(RoundToInt32(static_cast<long double>(CheckedMul(zoom, at)) / 1000.0L), CheckedMul(2, at));
    };
    ScrollBox1->horizontalScrollBar()->setValue(position(x));
    ScrollBox1->verticalScrollBar()->setValue(position(y));
    // Tracking would pull the view straight back.
    CBTrackPlayer->setChecked(false);
}
