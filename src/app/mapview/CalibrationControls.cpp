// The calibration sliders of the Admin page: the scales and the offsets that place world
// positions on the map picture.
#include "app/UTarvelMain.h"
#include "base/Convert.h"

#include <QSignalBlocker>
#include <QSlider>

void TTarvelMain::TBXasChange()
{
    Label4->SetCaption(IntToStr(TBXas->value()));
    Label11->SetCaption(IntToStr(TBYas->value()));
    FCorrectionY = TBYas->value();
    PlaceAllMapObjects();
    AnimateMarkers();
    FLayoutChanged = true;
}

void TTarvelMain::TBLeftChange()
{
    FLeftMargin = TBLeft->value();
    AnimateMarkers();
}

void TTarvelMain::TBTopChange()
{
    FTopMargin = TBTop->value();
    AnimateMarkers();
}

void TTarvelMain::RunTrackBarHandler(QSlider* bar)
{
    if (bar == TBXas || bar == TBYas || bar == TBLeft || bar == TBTop)
        CalibrationMoved(); // the calibration window's fields follow
    if (bar == TBXas || bar == TBYas)
        TBXasChange();
    else if (bar == TBLeft)
        TBLeftChange();
    else if (bar == TBTop)
        TBTopChange();
    else if (bar == TrackBar1)
        TrackBar1Change();
    else if (bar == TBMApZoom)
        SetZoom(TBMApZoom->value()); // the slider moved: its position is the zoom
}

void TTarvelMain::SetTrackBarPosition(QSlider* bar, int position)
{
    const int before = bar->value();
    {
        // The signal would report a handler's error at once; here it belongs to the caller.
        const QSignalBlocker quiet(bar);
        bar->setValue(position);
    }
    if (bar->value() != before)
        RunTrackBarHandler(bar);
}
