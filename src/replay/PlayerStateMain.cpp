// The main window's operations on the player states: lookups, marker placement, clearing.
#include "app/UTarvelMain.h"
#include "base/Errors.h"
#include "base/Numeric.h"

TInfoClass* TTarvelMain::FindPlayerState(int32_t playerID) const
{
    // Every state is filed under its own id and keeps it, so the key finds the first state
    // with the id; the walk only serves a state whose id was changed after filing.
    if (TInfoClass* state = FPlayerStates.Find(PlayerKey(playerID)); state && state->PlayerID == playerID)
        return state;
    for (int i = 0; i < FPlayerStates.Count(); ++i)
        if (FPlayerStates.State(i)->PlayerID == playerID)
            return FPlayerStates.State(i);
    throw EBaseError("Error finding kiled player");
}

void TTarvelMain::PlaceMarker(TInfoClass& state, int32_t x, int32_t y)
{
    int32_t placeX = 0;
    int32_t placeY = 0;
    if (state.LastEvent) {
        placeX = WorldToMapX(state.LastEvent->PosX);
        placeY = WorldToMapY(state.LastEvent->PosZ);
    }
    if (x != 0)
        placeX = x;
    if (y != 0)
        placeY = y;
    placeY = CheckedAdd(placeY, FTopMargin);
    placeX = CheckedAdd(placeX, FLeftMargin);
    if (placeX == 0 && placeY == 0)
        return;
    TPictureHolder& marker = state.Image;
    marker.Top = CheckedSub(placeY, DivTrunc(marker.Height, 2));
    marker.Left = CheckedSub(placeX, DivTrunc(marker.Width, 2));
}

void TTarvelMain::ClearReplayState()
{
    // States first: they point at map objects.
    FPlayerStates.Clear();
    FMapObjects.Clear();
}
