// The map's picture as a selection loads it, and the calibration set or fitted to the round; the
// Map menu's tools that drive them are in MapTools.cpp.
#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/ErrorReporting.h"
#include "base/Numeric.h"
#include "app/mapview/CalibrateForm.h"
#include "mapview/RoundMap.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QPushButton>
#include <QSlider>

#include <cmath>

void TTarvelMain::MapPictureLoaded()
{
    FMapImage.DecodeInBackground(); // while the round is selected, for its first frames
    FMapTools->MapPictureLoaded();
}

void TTarvelMain::ApplyCalibration(const TCalibration& c)
{
    SetTrackBarPosition(TBXas, c.XScale);
    SetTrackBarPosition(TBYas, c.YScale);
    SetTrackBarPosition(TBLeft, c.Left);
    SetTrackBarPosition(TBTop, c.Top);
    // The offsets' handlers leave the map to the next frame; this shows at once.
    FLayoutChanged = true;
}

TCalibration TTarvelMain::FitToRound() const
{
    return FitCalibration(RoundPlaces(FSession.Events(), FSession.MapObjects()), FMapImage.Height);
}

void TTarvelMain::FitToRound1Click()
{
    ApplyCalibration(FitToRound());
    // A map without a picture shows the grid alone: the view frames the round on it, as the
    // selection does, whatever scale the fit had to take.
    if (MapPictureMissing())
        FrameMapView(RoundPlaces(FSession.Events(), FSession.MapObjects()));
}
