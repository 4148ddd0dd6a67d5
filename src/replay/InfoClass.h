#pragma once

// The replay state of one player: what the events applied so far say about the player, the
// look-ahead results for the moving marker and the kill line, and the marker itself.

#include <QColor>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class TEventInfo;
class TMapObject;

// The eight compass directions a marker can travel in.
enum class TDirections { drNorth, drNorthEast, drEast, drEastSouth, drSouth, drSouthWest, drWest, drWestNorth };

// "drNorth", "drEastSouth", ...
const char* DirectionName(TDirections direction);

// A position as the log writes it: X (east), Y (the height), Z (north).
class TVector {
public:
    double Y = 0;
    double X = 0;
    double Z = 0;

    void Assign(double x, double y, double z)
    {
        X = x;
        Y = y;
        Z = z;
    }
};

// The direction of travel between two positions, judged on X and Z only.
TDirections DirectionBetween(const TVector& from, const TVector& to);

// A player's marker: its place (top left, size) on the unzoomed map picture and what decides
// its picture, which the frame looks up by name when it draws (TMarkerPictures).
struct TMarker {
    static constexpr int DefaultSize = 105; // the size before any picture
    int Left = 0;
    int Top = 0;
    int Width = DefaultSize;
    int Height = DefaultSize;
    std::optional<std::string> PictureName; // the name its picture was found under
    // The colour its black centre is painted in; none until painted. A painted centre is no
    // longer black, so the colour stays until another picture is shown.
    std::optional<QRgb> Colour;
    // The picture is the built-in one of its kit's or vehicle's kind (MarkerKinds.h): no picture
    // was found for what it shows.
    bool StandIn = false;
    // The picture is the death picture: a player who lives again keeps it no longer.
    bool ShowsDeath = false;
    bool HasPicture() const { return PictureName.has_value(); }
};

class TInfoClass {
public:
    TInfoClass();

    int32_t Team() const { return FTeam; }
    void SetTeam(int32_t team); // and recolours the marker

    const std::string& FighterClass() const { return FFighterClass; }
    void SetFighterClass(std::string_view kit); // an empty kit keeps the one it has

    // Recomputed from CommingFrom and GoingTo on every read.
    TDirections Direction();
    void SetDirection(TDirections direction) { FDirection = direction; }

    bool Dead = false;
    std::string Invechicle;
    TMapObject* MapObjectInUse = nullptr; // the vehicle on the map being driven; not owned
    int32_t PlayerID = -1;
    std::string PlayerName;
    // The marker: its place on the unzoomed map picture and its picture's name and colour.
    TMarker Image;
    TVector CommingFrom;
    double TimeLastEvent = 0;
    TVector GoingTo;
    int32_t KilledByID = 0;
    std::string KilledByName;
    std::string KilledByWeapon;
    double KillByTime = 0;
    double ETA = 0;
    int32_t PositionInvechicle = -1;
    int32_t Kills = 0;
    int32_t Deaths = 0;
    int32_t TKs = 0;
    int32_t Flags = 0;
    const TEventInfo* LastEvent = nullptr; // into the round's event list; not owned
    double KilledTime = 0;
    std::string AbsoluteClassInfo; // the name the marker's picture was found under

    // Paints the black region at the marker's centre in the team's colour, when the picture
    // shown was not painted yet.
    void UpdateTeamColor();

private:
    int32_t FTeam = 0;
    std::string FFighterClass;
    TDirections FDirection = TDirections::drNorth;
};
