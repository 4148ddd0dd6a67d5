#pragma once

// The replay state of one player: what the events applied so far say about the player, the
// look-ahead results for the moving marker and the kill line, and the marker itself.

#include "mapview/PictureHolder.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>

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

// Marker pictures as painting them in a team's colour left them, known by the picture they were
// painted on: a seek paints the same few pictures thousands of times. Keeps nothing unless on.
class TPaintedPictures {
public:
    void SetActive(bool on);
    bool Active() const { return FActive; }
    const QImage* Find(qint64 pictureKey, QRgb colour) const;
    void Keep(qint64 pictureKey, QRgb colour, const QImage& painted);

private:
    bool FActive = false;
    std::map<std::pair<qint64, QRgb>, QImage> FPainted;
};

class TInfoClass {
public:
    TInfoClass();

    int32_t Team() const { return FTeam; }
    void SetTeam(int32_t team, TPaintedPictures* painted = nullptr); // and recolours the marker

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
    // The marker: its picture and its place (top left, size) on the unzoomed map picture.
    TPictureHolder Image;
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

    // Paints the black region at the marker's centre in the team's colour, or takes what the
    // same painting of the same picture gave before.
    void UpdateTeamColor(TPaintedPictures* painted = nullptr);

private:
    int32_t FTeam = 0;
    std::string FFighterClass;
    TDirections FDirection = TDirections::drNorth;
};

// Fills the 4-connected region of pure black pixels around (x, y) with the colour; nothing
// when that pixel is outside the picture or not black.
void FloodFillBlack(QImage& picture, int x, int y, QRgb colour);
