// The main window's operations on the player states, handed to its replay session.
#include "app/UTarvelMain.h"
#include "round/RoundReplay.h"


TInfoClass* TTarvelMain::FindPlayerState(int32_t playerID) const { return FSession.FindPlayerState(playerID); }

void TTarvelMain::PlaceMarker(TInfoClass& state, int32_t x, int32_t y) { LiveSession().PlaceMarker(state, x, y); }

void TTarvelMain::PlaceMarker(TInfoClass& state, int32_t x, int32_t y, TLastPlace& last, const TMapScale& scale)
{
    LiveSession().PlaceMarker(state, x, y, last, scale);
}

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
    FRoundEndShown = false;
}
