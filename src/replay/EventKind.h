#pragma once

// What an event of a round does to the replay, told from its name and score type in one place:
// applying it, the overlays it leaves, the replay's counts and the kill steps all ask this.

#include <cstdint>

class TEventInfo;

enum class TEventKind : uint8_t {
    Other,          // only moves its player
    Spawn,          // "spawnEvent": alive, on a side, with a kit
    Kit,            // "pickupKit"
    VehicleEnter,   // "enterVehicle"
    VehicleExit,    // "exitVehicle"
    VehicleDestroy, // "destroyVehicle"
    Kill,           // "scoreEvent" of type "Kill": the player killed its VictimID
    Death,          // "Death"
    DeathNoMsg,     // "DeathNoMsg": a death the score log does not tell
    TeamKill,       // "TK"
    Attack,         // "Attack": a control point changes hands
    OtherScore,     // any other score event
    PlayerDestroyed // "destroyPlayer": the player's state goes
};

TEventKind KindOf(const TEventInfo& event);

// Whether the event reaches its player's state: it has a place and names a player.
bool PlacesPlayer(const TEventInfo& event);

inline bool IsDeath(TEventKind kind) { return kind == TEventKind::Death || kind == TEventKind::DeathNoMsg; }
// A kill the kill feed shows: a kill or a team kill.
inline bool IsKillNote(TEventKind kind) { return kind == TEventKind::Kill || kind == TEventKind::TeamKill; }
inline bool IsScore(TEventKind kind) { return kind >= TEventKind::Kill && kind <= TEventKind::OtherScore; }
// Whether the score log gets a line: every score event but attacks and deaths without a message.
inline bool IsLogged(TEventKind kind) { return IsScore(kind) && kind != TEventKind::Attack && kind != TEventKind::DeathNoMsg; }
