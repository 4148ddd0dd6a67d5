// The main window's operations on the player states, handed to its replay session.
#include "app/UTarvelMain.h"

#include <QCheckBox>
#include <QSlider>

TMapScale TTarvelMain::MapScale() const { return {TBXas->value(), TBYas->value(), FMapImage.Height}; }

TReplaySettings TTarvelMain::ReplaySettings() const
{
    TReplaySettings settings;
    settings.animate = CBAnimate->isChecked();
    // The loop restarts as a new pass from the round's start (LoopingTick): the session's own
    // restart would keep each pass's counts and history.
    settings.loop = false;
    settings.scaleX = FCalibration.Sliders().XScale;
    settings.scaleY = FCalibration.Sliders().YScale;
    settings.left = FCalibration.LeftMargin();
    settings.top = FCalibration.TopMargin();
    settings.mapHeight = FMapImage.Height;
    return settings;
}

TReplaySession& TTarvelMain::LiveSession()
{
    FSession.SetSettings(ReplaySettings());
    return FSession;
}

void TTarvelMain::ClearReplayState()
{
    FSession.ClearReplayState();
    FRoundEndShown = false;
}
