// The main window's operations on the player states, handed to its replay session.
#include "app/UTarvelMain.h"
#include "app/replay/RoundStatsForm.h"
#include "round/RoundReplay.h"


TReplaySettings TTarvelMain::ReplaySettings() const
{
    return ReplaySettingsOf(FReplayOptions, FCalibration, FMapImage.Height);
}

TReplaySession& TTarvelMain::LiveSession()
{
    FSession.SetSettings(ReplaySettings());
    return FSession;
}

void TTarvelMain::ClearReplayState()
{
    FSession.ClearReplayState();
    RoundStatsForm().ForgetRoundEnd();
}
