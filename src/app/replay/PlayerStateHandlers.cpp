// The main window's operations on the player states: lookups, marker placement, clearing.
#include "app/UTarvelMain.h"
#include "base/Errors.h"
#include "base/Numeric.h"

#include <QSlider>

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
    TLastPlace unknown;
    PlaceMarker(state, x, y, unknown, MapScale());
}

void TTarvelMain::PlaceMarker(TInfoClass& state, int32_t x, int32_t y, TLastPlace& last, const TMapScale& scale)
{
    TPictureHolder& marker = state.Image;
    const TLastPlace::TPlacing asked{state.LastEvent, x,           y,          FLeftMargin,  FTopMargin,
                                     marker.Width,    marker.Height, marker.Left, marker.Top};
    // Most ticks ask a marker for the pixel it stands on.
    if (last.placed && asked == last.placing && (!state.LastEvent || last.Describes(*state.LastEvent, scale)))
        return;
    last.placed = false;
    int32_t placeX = 0;
    int32_t placeY = 0;
    if (state.LastEvent) {
        if (!last.Describes(*state.LastEvent, scale)) {
            last.known = false;
            last.x = WorldToMapX(state.LastEvent->PosX);
            last.y = WorldToMapY(state.LastEvent->PosZ);
            last.event = state.LastEvent;
            last.posX = state.LastEvent->PosX;
            last.posZ = state.LastEvent->PosZ;
            last.scale = scale;
            last.known = true;
        }
        placeX = last.x;
        placeY = last.y;
    }
    if (x != 0)
        placeX = x;
    if (y != 0)
        placeY = y;
    placeY = CheckedAdd(placeY, FTopMargin);
    placeX = CheckedAdd(placeX, FLeftMargin);
    if (placeX != 0 || placeY != 0) {
        marker.Top = CheckedSub(placeY, DivTrunc(marker.Height, 2));
        marker.Left = CheckedSub(placeX, DivTrunc(marker.Width, 2));
    }
    last.placing = asked;
    last.placing.markerLeft = marker.Left;
    last.placing.markerTop = marker.Top;
    last.placed = true;
}

TMapScale TTarvelMain::MapScale() const { return {TBXas->value(), TBYas->value(), FMapImage.Height}; }

void TTarvelMain::ClearReplayState()
{
    // States first: they point at map objects.
    FPlayerStates.Clear();
    FMapObjects.Clear();
    FOverlays.Clear();
    FRoundEndShown = false;
}
