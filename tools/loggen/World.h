// Fixed-point geometry and the game tables (weapons, vehicle kinds) that the generator plays
// with on the maps of the demo world. Everything is integer arithmetic so that the output does
// not depend on how a platform rounds floating-point numbers.
#pragma once

#include "demoworld/DemoWorld.h"

#include <cstdint>
#include <vector>

namespace loggen {

using Time = std::int64_t;            // hundredths of a second since the server started
constexpr Time Second = 100;
constexpr std::int64_t Unit = 100;    // positions are hundredths of a world unit

struct Pos {
    std::int64_t x = 0, y = 0, z = 0;
};

std::int64_t isqrt(std::int64_t value);
// A coordinate of the demo world's tables in hundredths of a unit.
std::int64_t toFixed(double worldUnits);

// Distance on the map plane (X and Z), in hundredths of a unit; the height does not count.
inline std::int64_t planeDistance(Pos a, Pos b)
{
    const std::int64_t dx = a.x - b.x, dz = a.z - b.z;
    return isqrt(dx * dx + dz * dz);
}

// Straight movement from one place to another between two times.
struct Leg {
    Pos from, to;
    Time start = 0, end = 0;

    Pos at(Time t) const
    {
        if (t >= end)
            return to;
        if (t <= start)
            return from;
        const std::int64_t done = t - start, total = end - start;
        return {from.x + (to.x - from.x) * done / total, from.y + (to.y - from.y) * done / total,
                from.z + (to.z - from.z) * done / total};
    }
    static Leg still(Pos p, Time from, Time until) { return {p, p, from, until}; }
};

enum WeaponId : int {
    BoltRifle, AssaultRifle, RocketLauncher, SubMachineGun, Carbine, Pistol, HandGrenade, Knife,
    AntiTankMine, JeepMG, HalftrackMG, TankMG, LightTankCannon, HeavyTankCannon, FieldGunShell,
    NoWeapon
};

struct Weapon {
    const char* name;
    int range;       // world units
    int hit;         // chance per shot at point-blank range, per mille
    bool antiArmour; // can kill the crew of an armoured vehicle
};

inline constexpr Weapon Weapons[] = {
    {"BoltRifle", 320, 160, false},      {"AssaultRifle", 110, 300, false},
    {"RocketLauncher", 140, 300, true},  {"SubMachineGun", 80, 320, false},
    {"Carbine", 120, 280, false},        {"Pistol", 40, 240, false},
    {"HandGrenade", 25, 340, false},     {"Knife", 3, 600, false},
    {"AntiTankMine", 12, 550, true},     {"JeepMG", 140, 260, false},
    {"HalftrackMG", 160, 280, false},    {"TankMG", 140, 260, false},
    {"LightTankCannon", 280, 240, true}, {"HeavyTankCannon", 340, 280, true},
    {"FieldGunShell", 450, 200, true},
};

// Primary weapon of each kit class (kit index modulo 5: scout, assault, anti-tank, medic,
// engineer).
inline constexpr WeaponId ClassWeapons[5] = {BoltRifle, AssaultRifle, RocketLauncher,
                                             SubMachineGun, Carbine};
enum KitClass : int { Scout, Assault, AntiTank, Medic, Engineer };

struct VehicleKind {
    const char* name;   // as in demoworld::Vehicles
    int speed;          // hundredths of a unit per second
    int seats;          // driver included
    bool armoured;      // only anti-armour weapons hurt the crew
    bool transport;     // drops its passengers at the goal and is left there
    bool stationary;    // an emplacement: manned where it stands
    WeaponId driverWeapon;
    WeaponId gunnerWeapon; // seat 1
    bool passengersFire;   // the other seats fire their own weapons
};

inline constexpr VehicleKind VehicleKinds[] = {
    {"Jeep", 1600, 3, false, true, false, NoWeapon, JeepMG, true},
    {"Halftrack", 1050, 5, true, true, false, NoWeapon, HalftrackMG, false},
    {"LightTank", 900, 2, true, false, false, LightTankCannon, TankMG, false},
    {"HeavyTank", 700, 3, true, false, false, HeavyTankCannon, TankMG, false},
    {"Truck", 1300, 6, false, true, false, NoWeapon, NoWeapon, true},
    {"FieldGun", 0, 1, false, false, true, FieldGunShell, NoWeapon, false},
};
constexpr int MaxSeats = 6;

int vehicleKindIndex(const char* name); // -1 when unknown

// One map of the demo world in the generator's fixed-point units.
struct MapWorld {
    const demoworld::Map* map = nullptr;
    std::int64_t size = 0;                  // hundredths of a unit along X and Z
    std::vector<Pos> points;                // control points
    std::vector<int> pointTeam;             // their team at the start of a round
    std::vector<bool> capturable;           // every point but the bases can be taken

    explicit MapWorld(const demoworld::Map& m);

    // Ground height near a place, blended from the heights of the map's places.
    std::int64_t heightAt(std::int64_t x, std::int64_t z) const;
    // Index of the base control point of a team, or -1.
    int baseOf(int team) const;

private:
    std::vector<Pos> m_heightSamples;
};

} // namespace loggen
