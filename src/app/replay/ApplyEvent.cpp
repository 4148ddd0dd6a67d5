// The event dispatcher: one event of the round applied to the players, the map's vehicles and
// control points, and the score log.
#include "app/UTarvelMain.h"
#include "base/Numeric.h"

#include <QPlainTextEdit>
#include <QTreeWidget>

namespace {

void SetPosition(TVector& vector, const TEventInfo& event) { vector.Assign(event.PosX, event.PosY, event.PosZ); }

} // namespace

void TTarvelMain::ApplyEvent(int index)
{
    const TEventInfo& e = *FEvents.GetEvent(index);
    // An event list changed behind the window's back gets its look-ahead anew.
    if (FLookAhead.Size() != FEvents.Count())
        FLookAhead.Build(FEvents);

    TPaintedPictures& painted = FPictureFiles.Painted();
    std::string logText = e.EventName;
    if (e.HasCords() && e.PlayerID != -1) {
        const std::string key = PlayerKey(e.PlayerID);
        TInfoClass* s = FPlayerStates.Find(key);
        if (!s) {
            auto created = std::make_unique<TInfoClass>();
            created->PlayerID = e.PlayerID;
            const TPlayerInfo* entry = FRoster.FindPlayerAt(e.PlayerID, e.Timestamp);
            if (!entry)
                return;
            created->PlayerName = entry->PlayerName;
            s = FPlayerStates.Add(key, std::move(created));
        }
        SetPosition(s->CommingFrom, e);
        SetPosition(s->GoingTo, e);

        if (const int next = FLookAhead.NextOfPlayer(index); next >= 0) {
            const TEventInfo& n = *FEvents.GetEvent(next);
            if (n.HasCords())
                SetPosition(s->GoingTo, n);
            s->ETA = n.Timestamp;
            s->TimeLastEvent = e.Timestamp;
        }

        s->KilledByID = -1;
        if (const int death = FLookAhead.NextDeath(index); death >= 0) {
            const TEventInfo& k = *FEvents.GetEvent(death);
            const std::string killerKey = PlayerKey(k.PlayerID);
            TInfoClass* r = FPlayerStates.Find(killerKey);
            if (!r) {
                const TPlayerInfo* entry = FRoster.FindPlayerAt(k.PlayerID, k.Timestamp);
                if (!entry)
                    return;
                auto created = std::make_unique<TInfoClass>();
                created->PlayerID = entry->PlayerID;
                created->PlayerName = entry->PlayerName;
                std::string filedUnder = PlayerKey(created->PlayerID);
                r = FPlayerStates.Add(std::move(filedUnder), std::move(created));
            }
            s->KilledByID = k.PlayerID;
            s->KillByTime = k.Timestamp;
            r->KilledTime = k.Timestamp;
            s->KilledByName = r->PlayerName;
            s->KilledByWeapon = k.Weapon;
        }

        s->LastEvent = &e;
        PlaceMarker(*s, 0, 0);

        if (e.EventName == "pickupKit") {
            s->Dead = false;
            s->SetFighterClass(e.Kit);
            s->Invechicle.clear();
            s->PositionInvechicle = -1;
            s->AbsoluteClassInfo = LoadPicture(s->Image, e.Kit);
            s->UpdateTeamColor(&painted);
        } else if (e.EventName == "spawnEvent") {
            s->Dead = false;
            s->SetFighterClass(e.Kit);
            s->SetTeam(e.Team, &painted);
            s->AbsoluteClassInfo = LoadPicture(s->Image, e.Kit);
            if (TMapObject* point = FindControlPointNear(FMapObjects, e.PlayerLocation))
                point->SetTeam(s->Team());
            s->UpdateTeamColor(&painted);
        } else if (e.EventName == "enterVehicle") {
            if (e.PcoID == 0) {
                s->Invechicle = e.Vehicle;
                s->PositionInvechicle = 0;
                s->AbsoluteClassInfo = LoadPicture(s->Image, e.Vehicle);
                if (TMapObject* vehicle = FindMapObjectNear(FMapObjects, e.PlayerLocation, s->AbsoluteClassInfo)) {
                    s->MapObjectInUse = vehicle;
                    vehicle->SetObjectClass(e.Vehicle);
                    vehicle->SetPictureName(s->AbsoluteClassInfo);
                }
            } else {
                s->AbsoluteClassInfo = LoadPicture(s->Image, e.Vehicle);
            }
            s->UpdateTeamColor(&painted);
        } else if (e.EventName == "exitVehicle") {
            if (s->PositionInvechicle == 0 && s->MapObjectInUse) {
                TMapObject& vehicle = *s->MapObjectInUse;
                s->PositionInvechicle = -1;
                s->AbsoluteClassInfo = LoadPicture(vehicle.FImage, s->Invechicle);
                s->Invechicle = e.Vehicle;
                vehicle.SetPosition(e.PlayerLocation);
                PlaceMapObject(vehicle);
                s->MapObjectInUse = nullptr;
            }
            s->AbsoluteClassInfo = LoadPicture(s->Image, s->FighterClass());
            s->UpdateTeamColor(&painted);
        } else if (e.EventName == "destroyVehicle") {
            if (TMapObject* vehicle = FindMapObjectNear(FMapObjects, e.VehiclePos, e.Vehicle))
                vehicle->ResetPosition();
            s->UpdateTeamColor(&painted);
        } else if (e.EventName == "scoreEvent") {
            if (e.ScoreType == "DeathNoMsg" || e.ScoreType == "Death") {
                s->Deaths = CheckedAdd(s->Deaths, 1);
                s->AbsoluteClassInfo = LoadPicture(s->Image, "death");
                s->UpdateTeamColor(&painted);
                logText = "Dead";
                s->Dead = true;
                // Only a death without a message leaves the vehicle where the player fell.
                if (e.ScoreType == "DeathNoMsg" && s->MapObjectInUse) {
                    s->MapObjectInUse->SetPosition(e.PlayerLocation);
                    s->MapObjectInUse = nullptr;
                    s->PositionInvechicle = -1;
                }
            } else if (e.ScoreType == "Kill") {
                s->Kills = CheckedAdd(s->Kills, 1);
                const TInfoClass* victim = FindPlayerState(e.VictimID);
                logText = "Killed " + victim->PlayerName + " who was in " + victim->Invechicle + " with " + e.Weapon;
            } else if (e.ScoreType == "TK") {
                s->TKs = CheckedAdd(s->TKs, 1);
                logText = "Team kill";
            } else {
                if (e.ScoreType == "Attack")
                    if (TMapObject* point = FindControlPointNear(FMapObjects, e.PlayerLocation))
                        point->SetTeam(point->FTeam != 0 ? 0 : s->Team());
                logText = "scoreEvent";
            }
            if (e.ScoreType != "Attack" && e.ScoreType != "DeathNoMsg")
                AppendScoreLog(s->PlayerName + " : " + logText);
        }
    }

    if (e.EventName == "destroyPlayer") {
        const int at = FPlayerStates.IndexOfKey(PlayerKey(e.PlayerID));
        if (at >= 0) {
            delete ScoreBordRowOf(FPlayerStates.State(at));
            FPlayerStates.Delete(at);
        }
    }
    RecordOverlayEvent(index); // trails, deaths and kills for the View menu's overlays
}
