#include "replay/InfoClass.h"


const char* DirectionName(TDirections direction)
{
    switch (direction) {
    case TDirections::drNorth: return "drNorth";
    case TDirections::drNorthEast: return "drNorthEast";
    case TDirections::drEast: return "drEast";
    case TDirections::drEastSouth: return "drEastSouth";
    case TDirections::drSouth: return "drSouth";
    case TDirections::drSouthWest: return "drSouthWest";
    case TDirections::drWest: return "drWest";
    case TDirections::drWestNorth: return "drWestNorth";
    }
    return "drNorth";
}

TDirections DirectionBetween(const TVector& from, const TVector& to)
{
    if (from.X == to.X)
        return from.Z > to.Z ? TDirections::drSouth : TDirections::drNorth;
    if (from.X < to.X) {
        if (from.Z < to.Z)
            return TDirections::drNorthEast;
        return from.Z == to.Z ? TDirections::drEast : TDirections::drEastSouth;
    }
    if (from.Z > to.Z)
        return TDirections::drSouthWest;
    return from.Z == to.Z ? TDirections::drWest : TDirections::drWestNorth;
}

TInfoClass::TInfoClass() = default;

void TInfoClass::SetTeam(int32_t team)
{
    FTeam = team;
    UpdateTeamColor();
}

void TInfoClass::SetFighterClass(std::string_view kit)
{
    if (!kit.empty())
        FFighterClass = kit;
}

TDirections TInfoClass::Direction()
{
    FDirection = DirectionBetween(CommingFrom, GoingTo);
    return FDirection;
}

void TInfoClass::UpdateTeamColor()
{
    // Painting a picture painted before changes nothing: its centre is no longer black.
    if (Image.HasPicture() && !Image.Colour)
        Image.Colour = FTeam == 1 ? qRgb(255, 0, 0) : qRgb(0, 0, 255);
}
