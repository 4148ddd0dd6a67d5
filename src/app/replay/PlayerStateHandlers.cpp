// The main window's operations on the player states, handed to its replay.
#include "app/UTarvelMain.h"

void TTarvelMain::ClearReplayState()
{
    FSession.ClearReplayState();
    FRoundEndShown = false;
}

void TTarvelMain::ApplyEvent(int index) { FReplay.ApplyEvent(index); }
