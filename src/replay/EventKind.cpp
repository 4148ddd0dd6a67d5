#include "replay/EventKind.h"

#include "log/EventInfo.h"

TEventKind KindOf(const TEventInfo& e)
{
    const std::string& name = e.EventName;
    if (name == "scoreEvent") {
        const std::string& type = e.ScoreType;
        if (type == "Kill")
            return TEventKind::Kill;
        if (type == "Death")
            return TEventKind::Death;
        if (type == "DeathNoMsg")
            return TEventKind::DeathNoMsg;
        if (type == "TK")
            return TEventKind::TeamKill;
        if (type == "Attack")
            return TEventKind::Attack;
        return TEventKind::OtherScore;
    }
    if (name == "pickupKit")
        return TEventKind::Kit;
    if (name == "spawnEvent")
        return TEventKind::Spawn;
    if (name == "enterVehicle")
        return TEventKind::VehicleEnter;
    if (name == "exitVehicle")
        return TEventKind::VehicleExit;
    if (name == "destroyVehicle")
        return TEventKind::VehicleDestroy;
    if (name == "destroyPlayer")
        return TEventKind::PlayerDestroyed;
    return TEventKind::Other;
}

bool PlacesPlayer(const TEventInfo& e) { return e.HasCords() && e.PlayerID != -1; }
