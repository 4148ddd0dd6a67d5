// The invented world that the demo logs and the shipped pictures share: maps with their
// control points and vehicle spawns, and the kits and vehicles that players use. The log
// generator writes events at these places and with these names; the picture tool draws the
// maps, markers and object files from the same table, so every position of a generated log
// falls on its map picture and every kit and vehicle has a marker.
//
// World coordinates: X runs east, Z north, Y is the height. All coordinates are positive,
// because the program's position reader drops signs. A map is drawn at drawSize pixels, where
// its scenery is placed by hand, and shipped scaled down to pictureSize pixels; either picture
// covers X and Z from 0 to worldSize. The shipped Tarvel.ini stores the frame's calibration,
// frameScale() and frameTopMargin(), as the frame stretches every picture over FrameSize pixels.
#pragma once

#include <array>
#include <span>

namespace demoworld {

struct Place {
    const char* name; // a label for people; never written into a log or an object file
    double x, y, z;
    int team;         // the holder when a round starts: 0 neutral, 1 Axis, 2 Allies
    bool base = false; // a side's base: never taken, and where newcomers are placed
};

struct VehicleSpawn {
    const char* vehicle; // the vehicle's name as the log spells it
    double x, y, z;
    int team;
};

// The frame draws the map picture over a FrameSize-pixel square at zoom 1000 whatever the
// picture's size, while it places markers and map objects at calibrated map pixels scaled by the
// same zoom; so the calibration has to land in a FrameSize-pixel space, not the picture's.
inline constexpr int FrameSize = 600;

// The scenery is placed by hand in 1024-pixel space and drawn there; the finished picture is
// scaled down to the frame's size, so the program shows it 1:1 at zoom 1000 and the minimap,
// half the picture, fits the space left for it beside the controls.
inline constexpr int DrawnPictureSize = 1024;
inline constexpr int ShippedPictureSize = FrameSize;

struct Map {
    const char* name;        // the map name as the server settings give it
    const char* title;       // the display name
    double worldSize;        // world units covered by the picture along X and Z
    int drawSize;            // pixels of the square the scenery is drawn in
    int drawScale;           // thousandths of a drawn pixel per world unit: drawSize * 1000 / worldSize
    int pictureSize;         // pixels of the shipped square picture, the drawing scaled down
    std::span<const Place> controlPoints;
    std::span<const VehicleSpawn> vehicles;

    // The shipped SCALE and CORRECTIONY: thousandths of a frame pixel per world unit, rounded.
    constexpr int frameScale() const { return static_cast<int>(FrameSize * 1000.0 / worldSize + 0.5); }
    // The shipped TOPMARGIN. The program's y starts from the shipped picture's height in pixels,
    // so the margin brings the bottom edge from pictureSize to FrameSize. LEFTMARGIN stays 0.
    constexpr int frameTopMargin() const { return FrameSize - pictureSize; }
};

// Kits (player classes) as the log names them; index 0..4 Axis, 5..9 Allies.
inline constexpr std::array<const char*, 10> Kits = {
    "AxisScout",   "AxisAssault",   "AxisAntiTank",   "AxisMedic",   "AxisEngineer",
    "AlliesScout", "AlliesAssault", "AlliesAntiTank", "AlliesMedic", "AlliesEngineer"};

// The base picture each kit shares with its counterpart of the other side.
inline constexpr std::array<const char*, 5> KitPictures = {"scout", "assault", "antitank",
                                                            "medic", "engineer"};

inline constexpr std::array<const char*, 6> Vehicles = {"Jeep",      "Halftrack", "LightTank",
                                                        "HeavyTank", "Truck",     "FieldGun"};

// Each side holds its base and two forward points when a round starts: the Mill and the Farm on
// the north bank for the Axis, the Chapel and the Harbour on the south bank for the Allies. The
// Bridge between the Farm and the Chapel is open, so the fight for it starts at once.
inline constexpr std::array<Place, 7> BrambleBayPoints = {{
    {"Axis base", 330.0, 42.5, 1730.0, 1, true},
    {"Mill", 760.0, 38.0, 1260.0, 1},
    {"Farm", 940.0, 27.0, 1098.0, 1},
    {"Bridge", 1040.0, 21.0, 1010.0, 0},
    {"Chapel", 1096.0, 24.0, 848.0, 2},
    {"Harbour", 1420.0, 12.5, 760.0, 2},
    {"Allied base", 1760.0, 35.0, 310.0, 2, true},
}};

inline constexpr std::array<VehicleSpawn, 8> BrambleBayVehicles = {{
    {"Jeep", 360.0, 42.0, 1680.0, 1},
    {"HeavyTank", 290.0, 43.0, 1660.0, 1},
    {"Halftrack", 410.0, 41.0, 1700.0, 1},
    {"FieldGun", 800.0, 39.0, 1300.0, 0},
    {"Jeep", 1720.0, 35.0, 360.0, 2},
    {"LightTank", 1800.0, 34.0, 380.0, 2},
    {"Truck", 1690.0, 36.0, 270.0, 2},
    {"FieldGun", 1380.0, 13.0, 800.0, 0},
}};

// The Axis holds the ridge above its camp, the Allies the crossroads village; the two face each
// other across the valley.
inline constexpr std::array<Place, 4> KesselRidgePoints = {{
    {"Axis camp", 70.0, 120.0, 440.0, 1, true},
    {"North ridge", 210.0, 160.0, 330.0, 1},
    {"Crossroads", 300.0, 95.0, 190.0, 2},
    {"Allied camp", 450.0, 88.0, 60.0, 2, true},
}};

inline constexpr std::array<VehicleSpawn, 5> KesselRidgeVehicles = {{
    {"Halftrack", 90.0, 118.0, 410.0, 1},
    {"LightTank", 55.0, 121.0, 400.0, 1},
    {"Jeep", 430.0, 88.0, 85.0, 2},
    {"HeavyTank", 465.0, 87.0, 95.0, 2},
    {"FieldGun", 290.0, 96.0, 215.0, 0},
}};

inline constexpr std::array<Map, 2> Maps = {{
    {"bramble_bay", "Bramble Bay", 2048.0, DrawnPictureSize, 500, ShippedPictureSize, BrambleBayPoints,
     BrambleBayVehicles},
    {"kessel_ridge", "Kessel Ridge", 512.0, DrawnPictureSize, 2000, ShippedPictureSize, KesselRidgePoints,
     KesselRidgeVehicles},
}};

} // namespace demoworld
