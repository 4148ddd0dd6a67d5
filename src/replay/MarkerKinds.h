#pragma once

// What a marker shows when no picture is found for its kit or vehicle: a picture built into the
// program for the kind of soldier or vehicle its name tells, so that no player is drawn as a
// name alone. Real logs name hundreds of kits, vehicles and seats (a modification's
// "ARVN_HeavyAssault_Alt", "BTR60GunnerPCO"; the stock game's "T34-85", "Stationary_mg42").

#include <QImage>

#include <string>
#include <string_view>

enum class TMarkerKind {
    Soldier, Assault, Scout, Medic, Engineer, AntiTank,
    Vehicle, Tank, ArmouredCar, Jeep, Truck, Plane, Helicopter, Boat, StaticGun, MachineGun,
    Death,
};

// What a marker's picture was asked for: a kit, a vehicle (or a seat of one), or the dead.
enum class TMarkerFor { Kit, Vehicle, Death };

// The kind a kit's name tells (Assault, Scout, Sniper, Recon, Medic, Engineer, AT ...); a plain
// soldier when it tells none.
TMarkerKind KitKind(std::string_view kit);
// The kind a vehicle's or a seat's name tells; a seat ("T54MG_PCO1", "BTR60GunnerPCO") is of its
// vehicle's kind. A plain vehicle when it tells none.
TMarkerKind VehicleKind(std::string_view vehicle);
TMarkerKind MarkerKindOf(TMarkerFor what, std::string_view name);

// "assault", "tank", ...: the stand-in's name, as the tests and the previews call it.
const char* MarkerKindName(TMarkerKind kind);

// The built-in picture of the kind: white background, a pure black body around (w div 2, w div 2)
// that the team colour fills, facing right, as every marker picture.
const QImage& StandInPicture(TMarkerKind kind);

// The name a stand-in is kept under among a round's marker pictures: no file or log name holds
// its first byte.
std::string StandInKey(TMarkerKind kind);
