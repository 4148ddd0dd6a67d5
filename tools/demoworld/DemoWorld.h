// The invented world that the demo logs and the shipped pictures share: maps with their
// control points and vehicle spawns, and the kits and vehicles that players use. The log
// generator writes events at these places and with these names; the picture tool draws the
// maps, markers and object files from the same table, so every position of a generated log
// falls on its map picture and every kit and vehicle has a marker.
//
// World coordinates: X runs east, Z north, Y is the height. All coordinates are positive,
// because the program's position reader drops signs. A map picture of pictureSize pixels
// covers X and Z from 0 to worldSize at the picture's own scale (thousandths of a picture pixel
// per world unit). The shipped Tarvel.ini does not store that scale: the frame stretches every
// picture over FrameSize pixels, so it stores frameScale() and frameTopMargin() per map.
#pragma once

#include <array>
#include <span>

namespace demoworld {

struct Place {
    const char* name; // a label for people; never written into a log or an object file
    double x, y, z;
    int team;         // 0 neutral, 1 Axis, 2 Allies
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

struct Map {
    const char* name;        // the map name as the server settings give it
    const char* title;       // the display name
    double worldSize;        // world units covered by the picture along X and Z
    int pictureSize;         // pixels of the square map picture
    int scale;               // the picture's own scale, for drawing it: pictureSize * 1000 / worldSize
    std::span<const Place> controlPoints;
    std::span<const VehicleSpawn> vehicles;

    // The shipped SCALE and CORRECTIONY: thousandths of a frame pixel per world unit, rounded.
    constexpr int frameScale() const { return static_cast<int>(FrameSize * 1000.0 / worldSize + 0.5); }
    // The shipped TOPMARGIN. The program's y starts from the picture's own height in pixels, so
    // the margin brings the bottom edge from pictureSize up to FrameSize. LEFTMARGIN stays 0.
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

inline constexpr std::array<Place, 5> BrambleBayPoints = {{
    {"Axis base", 330.0, 42.5, 1730.0, 1},
    {"Mill", 760.0, 38.0, 1260.0, 0},
    {"Bridge", 1040.0, 21.0, 1010.0, 0},
    {"Harbour", 1420.0, 12.5, 760.0, 0},
    {"Allied base", 1760.0, 35.0, 310.0, 2},
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

inline constexpr std::array<Place, 4> KesselRidgePoints = {{
    {"Axis camp", 70.0, 120.0, 440.0, 1},
    {"North ridge", 210.0, 160.0, 330.0, 0},
    {"Crossroads", 300.0, 95.0, 190.0, 0},
    {"Allied camp", 450.0, 88.0, 60.0, 2},
}};

inline constexpr std::array<VehicleSpawn, 5> KesselRidgeVehicles = {{
    {"Halftrack", 90.0, 118.0, 410.0, 1},
    {"LightTank", 55.0, 121.0, 400.0, 1},
    {"Jeep", 430.0, 88.0, 85.0, 2},
    {"HeavyTank", 465.0, 87.0, 95.0, 2},
    {"FieldGun", 290.0, 96.0, 215.0, 0},
}};

inline constexpr std::array<Map, 2> Maps = {{
    {"bramble_bay", "Bramble Bay", 2048.0, 1024, 500, BrambleBayPoints, BrambleBayVehicles},
    {"kessel_ridge", "Kessel Ridge", 512.0, 1024, 2000, KesselRidgePoints, KesselRidgeVehicles},
}};

} // namespace demoworld
