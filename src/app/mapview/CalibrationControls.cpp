// The calibration sliders of the Admin page: the scales and the offsets that place world
// positions on the map picture.
#include "app/UTarvelMain.h"
#include "base/Convert.h"

#include <QSignalBlocker>
#include <QSlider>

void TTarvelMain::TBXasChange()
{
    Label4->SetCaption(IntToStr(FReplay.Map().Calibration().Sliders().XScale));
    Label11->SetCaption(IntToStr(FReplay.Map().Calibration().Sliders().YScale));
    FCorrectionY = FReplay.Map().Calibration().Sliders().YScale;
    PlaceAllMapObjects();
    AnimateMarkers();
    FLayoutChanged = true;
}

void TTarvelMain::TBLeftChange()
{
    FReplay.Map().Calibration().SetLeftMargin(FReplay.Map().Calibration().Sliders().Left);
    AnimateMarkers();
}

void TTarvelMain::TBTopChange()
{
    FReplay.Map().Calibration().SetTopMargin(FReplay.Map().Calibration().Sliders().Top);
    AnimateMarkers();
}

void TTarvelMain::RunTrackBarHandler(QSlider* bar)
{
    // A slider writes the calibration the rest of the window reads, before anything reads it.
    const std::pair<QSlider*, int TCalibration::*> calibration[] = {{TBXas, &TCalibration::XScale},
                                                                   {TBYas, &TCalibration::YScale},
                                                                   {TBLeft, &TCalibration::Left},
                                                                   {TBTop, &TCalibration::Top}};
    for (const auto& [slider, value] : calibration)
        if (bar == slider) {
            FReplay.Map().Calibration().MoveSlider(value, bar->value());
            FMapTools->CalibrationMoved(); // the calibration window's fields follow
        }
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
