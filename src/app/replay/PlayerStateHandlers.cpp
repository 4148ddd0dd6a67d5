// The main window's operations on the player states, handed to its replay.
#include "app/UTarvelMain.h"
#include "app/replay/RoundStatsForm.h"

void TTarvelMain::ClearReplayState()
{
    FReplay.Session().ClearReplayState();
    RoundStatsForm().ForgetRoundEnd();
}

void TTarvelMain::ApplyEvent(int index) { FReplay.ApplyEvent(index); }
