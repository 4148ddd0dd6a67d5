#include "replay/ReplaySession.h"

#include "mapview/RoundMap.h"

#include "base/Errors.h"
#include "base/Files.h"
#include "base/Convert.h"
#include "base/Numeric.h"
#include "base/TextList.h"
#include "mapview/WorldToMap.h"
#include "replay/ReplayMath.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

// ---- TPictureFileMemo ------------------------------------------------------------------------

void TPictureFileMemo::SetActive(bool on)
{
    FActive = on;
    if (!on) {
        FFound.clear();
        FPictures.clear();
    }
}

std::string TPictureFileMemo::FindFile(const std::string& fileName)
{
    if (!FActive)
        return FindFileNoCase(fileName);
    const auto it = FFound.find(fileName);
    if (it != FFound.end())
        return it->second;
    return FFound.emplace(fileName, FindFileNoCase(fileName)).first->second;
}

void TPictureFileMemo::LoadSized(TPictureHolder& image, const std::string& fileName)
{
    if (!FActive) {
        image.LoadFromFile(fileName);
    } else if (const auto it = FPictures.find(fileName); it != FPictures.end()) {
        image.SetPicture(it->second);
    } else {
        // A file that is no picture raises each time, as it does from the disk.
        image.LoadFromFile(fileName);
        FPictures.emplace(fileName, image.Picture());
    }
    image.SetSizeToPicture();
}

// ---- Settings and the round -------------------------------------------------------------------

TPictureFile LoadPictureFile(TPictureFileMemo& files, const std::vector<std::string>& folders,
                             const TTextList& pictureMap, TPictureHolder& image, const std::string& name)
{
    const TPictureFile found = FindPictureFile(folders, pictureMap, name,
                                               [&files](const std::string& file) { return files.FindFile(file); });
    if (!found.FileName.empty())
        files.LoadSized(image, found.FileName);
    return found;
}

TReplaySession::TReplaySession(TPlayerList& roster, TReplayLoader loader) : FRoster(roster), FLoader(std::move(loader)) {}

void TReplaySession::SetSettings(const TReplaySettings& settings)
{
    if (settings.animate != FSettings.animate || settings.loop != FSettings.loop)
        SettingChanged();
    FSettings = settings;
}

int32_t TReplaySession::WorldToMapX(double x) const { return ScaleWorldToMap(FSettings.scaleX, x); }

int32_t TReplaySession::WorldToMapY(double z) const
{
    // Z runs up the map and pixel rows down it: measured from the picture's bottom edge.
    return CheckedSub(FSettings.mapHeight, ScaleWorldToMap(FSettings.scaleY, z));
}

void TReplaySession::EventsChanged() { FLookAhead.Build(FEvents); }

void TReplaySession::ClearEvents()
{
    FEvents.ClearEvents();
    FLookAhead.Clear();
}

void TReplaySession::ClearReplayState()
{
    // States first: they point at map objects.
    FScoreRows.clear();
    FKnownStates.clear();
    ++FScoreRowsVersion;
    FScoreRowsCurrent = false;
    FPlayerStates.Clear();
    FMapObjects.Clear();
    FOverlays.Clear();
}

void TReplaySession::BeginRound()
{
    FReplayTime = 0;
    FRoundStartTime = 0;
    FEventIndex = 0;
    const int64_t start = WholeSeconds(FEvents.GetEvent(0)->Timestamp);
    FReplayTime = static_cast<double>(start);
    FRoundStartTime = FReplayTime;
}

void TReplaySession::MarkRoundStart()
{
    FProgress.selected = true;
    ResetProgress();
}

void TReplaySession::ForgetRoundStart() { FProgress.selected = false; }

TReplayReport TReplaySession::TakeReport()
{
    TReplayReport report = std::move(FReport);
    FReport = TReplayReport();
    return report;
}

// ---- Player states ----------------------------------------------------------------------------

TInfoClass* TReplaySession::FindPlayerState(int32_t playerID) const
{
    // Every state is filed under its own id and keeps it, so the key finds the first state
    // with the id; the walk only serves a state whose id was changed after filing.
    if (TInfoClass* state = FPlayerStates.Find(PlayerKey(playerID)); state && state->PlayerID == playerID)
        return state;
    for (int i = 0; i < FPlayerStates.Count(); ++i)
        if (FPlayerStates.State(i)->PlayerID == playerID)
            return FPlayerStates.State(i);
    throw EBaseError("Error finding kiled player");
}

void TReplaySession::PlaceMarker(TInfoClass& state, int32_t x, int32_t y)
{
    TLastPlace unknown;
    PlaceMarker(state, x, y, unknown, MapScale());
}

void TReplaySession::PlaceMarker(TInfoClass& state, int32_t x, int32_t y, TLastPlace& last, const TMapScale& scale)
{
    TMarker& marker = state.Image;
    const int32_t left = FSettings.left;
    const int32_t top = FSettings.top;
    const TLastPlace::TPlacing asked{state.LastEvent, x, y, left, top, marker.Width, marker.Height, marker.Left, marker.Top};
    // Most ticks ask a marker for the pixel it stands on.
    if (last.placed && asked == last.placing && (!state.LastEvent || last.Describes(*state.LastEvent, scale)))
        return;
    last.placed = false;
    int32_t placeX = 0;
    int32_t placeY = 0;
    if (state.LastEvent) {
        if (!last.Describes(*state.LastEvent, scale)) {
            last.known = false;
            last.x = WorldToMapX(state.LastEvent->PosX);
            last.y = WorldToMapY(state.LastEvent->PosZ);
            last.event = state.LastEvent;
            last.posX = state.LastEvent->PosX;
            last.posZ = state.LastEvent->PosZ;
            last.scale = scale;
            last.known = true;
        }
        placeX = last.x;
        placeY = last.y;
    }
    if (x != 0)
        placeX = x;
    if (y != 0)
        placeY = y;
    placeY = CheckedAdd(placeY, top);
    placeX = CheckedAdd(placeX, left);
    if (placeX != 0 || placeY != 0) {
        marker.Top = CheckedSub(placeY, DivTrunc(marker.Height, 2));
        marker.Left = CheckedSub(placeX, DivTrunc(marker.Width, 2));
    }
    last.placing = asked;
    last.placing.markerLeft = marker.Left;
    last.placing.markerTop = marker.Top;
    last.placed = true;
}

// ---- The scoreboard's rows --------------------------------------------------------------------

void TReplaySession::UpdateScoreRows()
{
    // Nothing changes when the states are those of the last update, in the same order and on
    // the same sides, and no row left since: ticks ask this for every state.
    const int count = FPlayerStates.Count();
    bool same = FKnownStates.size() == static_cast<size_t>(count);
    for (int i = 0; same && i < count; ++i) {
        const TInfoClass* state = FPlayerStates.State(i);
        same = FKnownStates[static_cast<size_t>(i)].first == state &&
               FKnownStates[static_cast<size_t>(i)].second == (state->Team() == 1);
    }
    if (same) {
        FScoreRowsCurrent = true;
        return;
    }
    // The rows are ordered as the scoreboard widget orders them, which has sorted them so
    // since the program began: a row that joins is appended and the sort waits until the
    // update's end, but until a row joined, a row that changes side moves at once to where a
    // binary search of the rows puts it, unless the row before it is of its new side.
    const auto less = [](const TScoreRow& a, const TScoreRow& b) { return !a.axis && b.axis; }; // "ALIES" < "AXIS"
    bool joined = false;
    bool resort = false;
    for (int i = 0; i < count; ++i) {
        TInfoClass* state = FPlayerStates.State(i);
        const bool axis = state->Team() == 1;
        const auto found = std::find_if(FScoreRows.begin(), FScoreRows.end(), [state](const TScoreRow& r) { return r.state == state; });
        if (found == FScoreRows.end()) {
            FScoreRows.push_back({state, axis, FNextRowSerial++});
            joined = true;
            resort = true;
            continue;
        }
        if (found->axis == axis)
            continue;
        found->axis = axis;
        resort = true;
        if (joined)
            continue;
        const size_t oldRow = static_cast<size_t>(found - FScoreRows.begin());
        const TScoreRow row = *found;
        FScoreRows.erase(found);
        const auto at = std::lower_bound(FScoreRows.begin(), FScoreRows.end(), row, less);
        const size_t newRow = static_cast<size_t>(at - FScoreRows.begin());
        const bool stays = newRow == oldRow || (newRow < oldRow && !less(row, FScoreRows[oldRow - 1]) && !less(FScoreRows[oldRow - 1], row));
        FScoreRows.insert(stays ? FScoreRows.begin() + static_cast<std::ptrdiff_t>(oldRow) : at, row);
    }
    if (resort) {
        std::stable_sort(FScoreRows.begin(), FScoreRows.end(), less);
        ++FScoreRowsVersion;
    }
    FKnownStates.clear();
    for (int i = 0; i < count; ++i)
        FKnownStates.emplace_back(FPlayerStates.State(i), FPlayerStates.State(i)->Team() == 1);
    FScoreRowsCurrent = true;
}

void TReplaySession::RemoveScoreRow(const TInfoClass* state)
{
    const auto row = std::find_if(FScoreRows.begin(), FScoreRows.end(), [state](const TScoreRow& r) { return r.state == state; });
    if (row == FScoreRows.end())
        return;
    FScoreRows.erase(row);
    ++FScoreRowsVersion;
    FKnownStates.clear();
}

// ---- Events -----------------------------------------------------------------------------------

namespace {

void SetPosition(TVector& vector, const TEventInfo& event) { vector.Assign(event.PosX, event.PosY, event.PosZ); }

} // namespace

void TReplaySession::ApplyEvent(int index)
{
    const TEventInfo& e = *FEvents.GetEvent(index);
    // An event list changed behind the session's back gets its look-ahead anew.
    if (FLookAhead.Size() != FEvents.Count())
        FLookAhead.Build(FEvents);
    FScoreRowsCurrent = false;

    const TEventKind kind = KindOf(e);
    if (PlacesPlayer(e)) {
        TInfoClass* s = MovePlayerState(index);
        if (!s)
            return;
        switch (kind) {
        case TEventKind::Kit: ApplyKit(*s, e); break;
        case TEventKind::Spawn: ApplySpawn(*s, e); break;
        case TEventKind::VehicleEnter: ApplyVehicleEnter(*s, e); break;
        case TEventKind::VehicleExit: ApplyVehicleExit(*s, e); break;
        case TEventKind::VehicleDestroy: ApplyVehicleDestroy(*s, e); break;
        case TEventKind::Death:
        case TEventKind::DeathNoMsg: ApplyDeath(*s, e, kind); break;
        case TEventKind::Kill: s->Kills = CheckedAdd(s->Kills, 1); break;
        case TEventKind::TeamKill: s->TKs = CheckedAdd(s->TKs, 1); break;
        case TEventKind::Attack: ApplyAttack(*s, e); break;
        default: break;
        }
        // A player none of whose events named a picture yet (a bot's first event of the round
        // may be a kill) is drawn all the same, as the kind its vehicle or kit tells.
        if (!s->Image.HasPicture() && !s->Dead)
            ShowStandIn(*s);
        if (IsLogged(kind))
            LogScore(*s, e, kind);
    }
    if (kind == TEventKind::PlayerDestroyed)
        RemovePlayerState(e.PlayerID);
    RecordOverlayEvent(index, kind); // trails, deaths and kills for the overlays
}

TInfoClass* TReplaySession::MovePlayerState(int index)
{
    const TEventInfo& e = *FEvents.GetEvent(index);
    const std::string key = PlayerKey(e.PlayerID);
    TInfoClass* s = FPlayerStates.Find(key);
    if (!s) {
        auto created = std::make_unique<TInfoClass>();
        created->PlayerID = e.PlayerID;
        const TPlayerInfo* entry = FRoster.FindPlayerAt(e.PlayerID, e.Timestamp);
        if (!entry)
            return nullptr;
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
                return nullptr;
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
    return s;
}

void TReplaySession::ApplyKit(TInfoClass& s, const TEventInfo& e)
{
    s.Dead = false;
    s.SetFighterClass(e.Kit);
    s.Invechicle.clear();
    s.PositionInvechicle = -1;
    s.AbsoluteClassInfo = LoadMarkerPicture(s.Image, e.Kit, TMarkerFor::Kit);
    s.UpdateTeamColor();
}

void TReplaySession::ApplySpawn(TInfoClass& s, const TEventInfo& e)
{
    s.Dead = false;
    s.SetFighterClass(e.Kit);
    s.SetTeam(e.Team);
    s.AbsoluteClassInfo = LoadMarkerPicture(s.Image, e.Kit, TMarkerFor::Kit);
    if (TMapObject* point = FindControlPointNear(FMapObjects, e.PlayerLocation))
        point->SetTeam(s.Team());
    s.UpdateTeamColor();
}

void TReplaySession::ApplyVehicleEnter(TInfoClass& s, const TEventInfo& e)
{
    if (e.PcoID == 0) {
        s.Invechicle = e.Vehicle;
        s.PositionInvechicle = 0;
        s.AbsoluteClassInfo = LoadMarkerPicture(s.Image, e.Vehicle, TMarkerFor::Vehicle);
        if (TMapObject* vehicle = FindMapObjectNear(FMapObjects, e.PlayerLocation, s.AbsoluteClassInfo)) {
            s.MapObjectInUse = vehicle;
            vehicle->SetObjectClass(e.Vehicle);
            vehicle->SetPictureName(s.AbsoluteClassInfo);
        }
    } else {
        s.AbsoluteClassInfo = LoadMarkerPicture(s.Image, e.Vehicle, TMarkerFor::Vehicle);
    }
    s.UpdateTeamColor();
}

void TReplaySession::ApplyVehicleExit(TInfoClass& s, const TEventInfo& e)
{
    if (s.PositionInvechicle == 0 && s.MapObjectInUse) {
        TMapObject& vehicle = *s.MapObjectInUse;
        s.PositionInvechicle = -1;
        s.AbsoluteClassInfo = LoadPicture(vehicle.FImage, s.Invechicle);
        s.Invechicle = e.Vehicle;
        vehicle.SetPosition(e.PlayerLocation);
        PlaceMapObject(vehicle);
        s.MapObjectInUse = nullptr;
    }
    s.AbsoluteClassInfo = LoadMarkerPicture(s.Image, s.FighterClass(), TMarkerFor::Kit);
    s.UpdateTeamColor();
}

void TReplaySession::ApplyVehicleDestroy(TInfoClass& s, const TEventInfo& e)
{
    if (TMapObject* vehicle = FindMapObjectNear(FMapObjects, e.VehiclePos, e.Vehicle))
        vehicle->ResetPosition();
    s.UpdateTeamColor();
}

void TReplaySession::ApplyDeath(TInfoClass& s, const TEventInfo& e, TEventKind kind)
{
    s.Deaths = CheckedAdd(s.Deaths, 1);
    s.AbsoluteClassInfo = LoadMarkerPicture(s.Image, "death", TMarkerFor::Death);
    s.UpdateTeamColor();
    s.Dead = true;
    // Only a death without a message leaves the vehicle where the player fell.
    if (kind == TEventKind::DeathNoMsg && s.MapObjectInUse) {
        s.MapObjectInUse->SetPosition(e.PlayerLocation);
        s.MapObjectInUse = nullptr;
        s.PositionInvechicle = -1;
    }
}

std::string TReplaySession::LoadMarkerPicture(TMarker& marker, const std::string& name, TMarkerFor what)
{
    // Loaded as any picture is, so that a missing one is noted and a broken one raises; the
    // marker keeps only its name, size and colour, and the states' list the picture.
    TPictureHolder loaded;
    loaded.AutoSize = true;
    std::string foundUnder = LoadPicture(loaded, name);
    TMarkerPictures& pictures = FPlayerStates.Pictures();
    if (loaded.HasPicture()) {
        pictures.Show(marker, foundUnder, loaded.Picture(), QSize(loaded.Width, loaded.Height));
        marker.StandIn = false;
        marker.ShowsDeath = what == TMarkerFor::Death;
    } else if (!marker.HasPicture() || marker.StandIn || (marker.ShowsDeath && what != TMarkerFor::Death)) {
        // A marker with no picture of its own would be a name floating on the map, and one
        // that kept the death picture a living player drawn as dead: it shows the kind its kit
        // or vehicle names. One that has another picture keeps it, as any image does.
        ShowStandIn(marker, MarkerKindOf(what, name));
    }
    return foundUnder;
}

void TReplaySession::ShowStandIn(TMarker& marker, TMarkerKind kind)
{
    // Where the marker stands: one of no picture was placed at the size of none.
    const int32_t centreX = CheckedAdd(marker.Left, DivTrunc(marker.Width, 2));
    const int32_t centreY = CheckedAdd(marker.Top, DivTrunc(marker.Height, 2));
    FPlayerStates.Pictures().Show(marker, StandInKey(kind), StandInPicture(kind));
    marker.Left = CheckedSub(centreX, DivTrunc(marker.Width, 2));
    marker.Top = CheckedSub(centreY, DivTrunc(marker.Height, 2));
    marker.StandIn = true;
    marker.ShowsDeath = kind == TMarkerKind::Death;
}

void TReplaySession::ShowStandIn(TInfoClass& s)
{
    ShowStandIn(s.Image, s.Invechicle.empty() ? KitKind(s.FighterClass()) : VehicleKind(s.Invechicle));
    s.UpdateTeamColor();
}

void TReplaySession::ApplyAttack(TInfoClass& s, const TEventInfo& e)
{
    if (TMapObject* point = FindControlPointNear(FMapObjects, e.PlayerLocation))
        point->SetTeam(point->FTeam != 0 ? 0 : s.Team());
}

void TReplaySession::LogScore(const TInfoClass& s, const TEventInfo& e, TEventKind kind)
{
    std::string logText = "scoreEvent";
    if (IsDeath(kind)) {
        logText = "Dead";
    } else if (kind == TEventKind::Kill) {
        const TInfoClass* victim = FindPlayerState(e.VictimID);
        logText = "Killed " + victim->PlayerName + " who was in " + victim->Invechicle + " with " + e.Weapon;
    } else if (kind == TEventKind::TeamKill) {
        logText = "Team kill";
    }
    FReport.scoreLog.push_back(s.PlayerName + " : " + logText);
}

void TReplaySession::RemovePlayerState(int32_t playerID)
{
    const int at = FPlayerStates.IndexOfKey(PlayerKey(playerID));
    if (at < 0)
        return;
    RemoveScoreRow(FPlayerStates.State(at));
    FPlayerStates.Delete(at);
    FReport.statesRemoved = true;
}

void TReplaySession::RecordOverlayEvent(int index, TEventKind kind)
{
    const TEventInfo& e = *FEvents.GetEvent(index);
    if (kind == TEventKind::PlayerDestroyed) {
        FOverlays.CutTrail(e.PlayerID);
        return;
    }
    if (!PlacesPlayer(e))
        return;
    const TInfoClass* s = FPlayerStates.Find(PlayerKey(e.PlayerID));
    if (!s)
        return;
    if (IsDeath(kind)) {
        FOverlays.AddDeath(index, {e.Timestamp, e.PosX, e.PosZ, s->Team()});
        FOverlays.CutTrail(e.PlayerID);
        return;
    }
    if (IsKillNote(kind)) {
        TKillNote kill;
        kill.time = e.Timestamp;
        kill.killer = s->PlayerName;
        kill.killerTeam = s->Team();
        kill.weapon = e.Weapon;
        kill.teamKill = kind == TEventKind::TeamKill;
        if (const TInfoClass* victim = FPlayerStates.Find(PlayerKey(e.VictimID))) {
            kill.victim = victim->PlayerName;
            kill.victimTeam = victim->Team();
        } else if (const TPlayerInfo* entry = FRoster.FindPlayerAt(e.VictimID, e.Timestamp)) {
            kill.victim = entry->PlayerName;
        }
        FOverlays.AddKill(index, kill);
    }
    if (!s->Dead && FKeepTrails)
        FOverlays.AddTrailPoint(e.PlayerID, e.Timestamp, e.PosX, e.PosZ);
}

// ---- Map objects ------------------------------------------------------------------------------

void TReplaySession::LoadMapObjects(const std::string& objectFile)
{
    if (objectFile.empty())
        return;
    TTextList file;
    file.LoadFromFile(objectFile);
    for (const TObjectGroup& group : ReadObjectGroups(file))
        AddMapObject(group.ObjectClass, group.Position, group.Team);
}

void TReplaySession::AddMapObject(const std::string& objectClass, const std::string& position, const std::string& team)
{
    // A team that fails to convert ends the loading here: this object stays, with team 0
    // and not yet placed.
    TMapObject& object = AddFileObject(FMapObjects, {objectClass, position, team},
                                       [this](TPictureHolder& image, const std::string& name) { return LoadPicture(image, name); });
    PlaceMapObject(object);
}

void TReplaySession::PlaceMapObject(TMapObject& object)
{
    if (object.IsControlPoint())
        if (const char* flag = FlagPictureName(object.FTeam))
            object.FPictureName = LoadPicture(object.FImage, flag);
    const int32_t x = CheckedAdd(WorldToMapX(object.FX), FSettings.left);
    const int32_t y = CheckedAdd(WorldToMapY(object.FZ), FSettings.top);
    CentreOnMapPixel(object.FImage, x, y);
}

void TReplaySession::PlaceAllMapObjects()
{
    for (int i = 0; i < FMapObjects.Count(); ++i)
        PlaceMapObject(*FMapObjects.Object(i));
}

// ---- The clock --------------------------------------------------------------------------------

void TReplaySession::ResetProgress()
{
    FProgress.ticks = 0;
    FProgress.maxClock = FReplayTime;
    FProgress.ended = false;
    FProgress.halted = false;
    FProgress.inTick = false;
    FProgress.pure = true;
    FProgress.settings = FSettings;
}

void TReplaySession::TickBegins()
{
    if (FProgress.ended || FProgress.halted)
        FProgress.pure = false;
    ++FProgress.ticks;
    FProgress.halted = true; // until the tick gets to its end
    FProgress.inTick = true;
}

void TReplaySession::TickEnds(double clock, bool runsOn)
{
    FProgress.halted = false;
    FProgress.inTick = false;
    FProgress.ended = !runsOn;
    FProgress.maxClock = std::max(FProgress.maxClock, clock);
    FReport.roundEnded = !runsOn;
}

bool TReplaySession::Tick()
{
    TickBegins();
    const int count = FEvents.Count();
    ApplyDueEvents();
    FReport.moved = true;
    FReplayTime += 0.1;
    const double clock = FReplayTime;
    const int32_t elapsed = RoundToInt32(static_cast<long double>(FReplayTime) - FRoundStartTime);
    const int32_t timeLine = TenthsRound(FReplayTime);
    FReport.elapsed = elapsed;
    FReport.timeLine = timeLine;
    // Only events change the states and their sides.
    if (!FScoreRowsCurrent)
        UpdateScoreRows();
    FNextTick = FSeek.active ? NextTick() : std::nullopt;
    try {
        AnimateMarkers();
    } catch (...) {
        FNextTick.reset();
        throw;
    }
    FNextTick.reset();
    // The round has ended when its second-to-last event is applied; a round of one event
    // ends with its first tick.
    if (FEventIndex >= count - 2) {
        TickEnds(clock, false);
        return false;
    }
    if (FSettings.loop && FEventIndex > 100) {
        FEventIndex = 0;
        FReplayTime = FEvents.GetEvent(0)->Timestamp;
    }
    TickEnds(clock, true);
    return true;
}

int64_t TReplaySession::EventDueTenths(int index) const
{
    if (index < FLookAhead.Size())
        if (const int64_t due = FLookAhead.DueTenths(index); due != TEventLookAhead::Raises)
            return due;
    return TenthsTrunc(FEvents.GetEvent(index)->Timestamp);
}

void TReplaySession::ApplyDueEvents()
{
    const int count = FEvents.Count();
    if (FLookAhead.Size() != count)
        FLookAhead.Build(FEvents);
    std::optional<int64_t> clock; // the clock does not move while events are applied
    for (;;) {
        if (FEventIndex >= count - 2) {
            // The round's last event is applied at once, whatever its time; a round of one
            // event has no event after its first.
            if (FEventIndex + 1 < count) {
                ApplyEvent(FEventIndex + 1);
                FReport.eventsApplied = true;
            }
            return;
        }
        if (!clock)
            clock = TenthsTrunc(FReplayTime);
        const int64_t due = EventDueTenths(FEventIndex + 1);
        if (*clock >= due) {
            ++FEventIndex;
            if (FEventIndex == count)
                return;
            ApplyEvent(FEventIndex);
            FReport.eventsApplied = true;
            continue;
        }
        // A long pause of the server is crossed in jumps of 100 seconds.
        if (due - *clock > 1000)
            FReplayTime += 100;
        return;
    }
}

std::optional<TNextTick> TReplaySession::NextTick() const
{
    // Called after this tick moved the clock, before its animation. The next tick comes when
    // the seek goes on and the round does not end; it applies the events then due, as
    // ApplyDueEvents does, and animates after them.
    const int count = FEvents.Count();
    if (!FSeek.skipPlacings || FEventIndex >= count - 2 || FSettings.loop || !FScoreRowsCurrent)
        return std::nullopt;
    if (std::max(FProgress.maxClock, FReplayTime) >= FSeek.target)
        return std::nullopt;
    // Far from any range error the next tick's clock could raise.
    if (!(std::fabs(FReplayTime) < 1e8))
        return std::nullopt;
    const int64_t clock = TenthsTrunc(FReplayTime);
    TNextTick next;
    int index = FEventIndex;
    for (;;) {
        if (index + 1 >= FLookAhead.Size())
            return std::nullopt;
        const int64_t due = FLookAhead.DueTenths(index + 1);
        if (due == TEventLookAhead::Raises)
            return std::nullopt;
        if (clock < due) {
            next.clock = FReplayTime;
            if (due - clock > 1000)
                next.clock += 100;
            next.clock += 0.1;
            break;
        }
        ++index;
        // A tick that ends the round applies its last event too.
        if (index >= count - 2 || next.playerCount == next.players.size())
            return std::nullopt;
        next.players[next.playerCount++] = FEvents.GetEvent(index)->PlayerID;
    }
    if (!(std::fabs(next.clock) < 1e8 && std::fabs(next.clock - FRoundStartTime) < 1e8))
        return std::nullopt;
    return next;
}

namespace {

// Whether the next tick's animation, at `nextNow` tenths, surely places the marker on this path
// again, and raises nothing: then placing it now changes nothing that anyone sees.
bool PlacedAgainNext(const TMarkerPath& path, int32_t nextNow, int32_t left, int32_t top)
{
    constexpr int32_t Far = 1000000000;
    const int64_t remaining = static_cast<int64_t>(path.eta10) - nextNow;
    if (path.total == 0 || remaining < 0 || remaining > path.total)
        return false;
    const int32_t lowX = std::min(path.gx, path.cx), highX = std::max(path.gx, path.cx);
    const int32_t lowY = std::min(path.gy, path.cy), highY = std::max(path.gy, path.cy);
    // Between its ends, off the pixels that leave a marker where it was, and far from overflow.
    return lowX > 0 && lowY > 0 && highX < Far && highY < Far && std::abs(left) < Far && std::abs(top) < Far &&
           std::abs(path.eta10) < Far && (lowX + left > 0 || lowY + top > 0);
}

} // namespace

void TReplaySession::AnimateMarkers()
{
    // Outside a tick the markers move because a setting changed.
    if (!FProgress.inTick)
        SettingChanged();
    if (!FSettings.animate)
        return;
    // A marker's path is worked out again only when its ends, times or the scale change;
    // the clock moves along it (MarkerPath.h). The clock in tenths is the same for all.
    const TMapScale scale = MapScale();
    std::optional<int32_t> now;
    const int count = FPlayerStates.Count();
    FMarkerPaths.resize(static_cast<size_t>(count));
    // The states first, then their fields: the reads of one state do not wait for the last.
    FAnimatedStates.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        FAnimatedStates[static_cast<size_t>(i)] = FPlayerStates.State(i);
        // Dead and ETA lie on different cache lines of the state.
        __builtin_prefetch(&FAnimatedStates[static_cast<size_t>(i)]->Dead);
        __builtin_prefetch(&FAnimatedStates[static_cast<size_t>(i)]->ETA);
    }
    const double clock = FReplayTime;
    const TNextTick* next = FNextTick ? &*FNextTick : nullptr;
    const int32_t nextNow = next ? TenthsRound(next->clock) : 0;
    for (int i = 0; i < count; ++i) {
        TInfoClass& s = *FAnimatedStates[static_cast<size_t>(i)];
        if (s.Dead || !(s.ETA > clock))
            continue;
        TMarkerPath& path = FMarkerPaths[static_cast<size_t>(i)];
        const bool known = path.Describes(s, scale);
        int32_t eta = path.eta10;
        int32_t total = path.total;
        if (!known) {
            eta = TenthsRound(s.ETA);
            total = CheckedSub(eta, TenthsRound(s.TimeLastEvent));
            if (total < 0)
                total = 0;
        }
        if (!now)
            now = TenthsRound(FReplayTime);
        const int32_t remaining = CheckedSub(eta, *now);
        if (!known) {
            const int32_t gx = WorldToMapX(s.GoingTo.X);
            const int32_t gy = WorldToMapY(s.GoingTo.Z);
            const int32_t cx = WorldToMapX(s.CommingFrom.X);
            const int32_t cy = WorldToMapY(s.CommingFrom.Z);
            path.Set(s, scale, eta, total, gx, gy, cx, cy);
        }
        if (total == 0)
            continue;
        // A seek's tick whose placing the next tick overwrites skips it.
        if (known && next && s.ETA > next->clock && !next->Names(s.PlayerID) &&
            PlacedAgainNext(path, nextNow, FSettings.left, FSettings.top)) {
            FSeek.placingsSkipped = true;
            continue;
        }
        if (path.gx == path.cx && path.gy == path.cy) {
            PlaceMarker(s, path.gx, path.gy, path.last, scale);
        } else {
            const int32_t x = path.X().At(remaining);
            const int32_t y = path.Y().At(remaining);
            PlaceMarker(s, x, y, path.last, scale);
        }
    }
    FReport.moved = true;
}

// ---- Seeking ----------------------------------------------------------------------------------

void TReplaySession::RestartRound()
{
    // The steps of the round's start that make the replay state, in their order; the round's
    // events and calibration stay as they are.
    ClearReplayState();
    FReport.restarted = true;
    FReport.scoreLog.clear();
    FReport.elapsed.reset();
    FReport.timeLine.reset();
    FEventIndex = 0;
    FReplayTime = static_cast<double>(WholeSeconds(FEvents.GetEvent(0)->Timestamp));
    FRoundStartTime = FReplayTime;
    FReport.timeLine = TenthsRound(FReplayTime);
    ResetProgress();
    ApplyEvent(FEventIndex);
    LoadMapObjects(FLoader.objectFile());
}

void TReplaySession::SeekTo(double seconds)
{
    if (!FProgress.selected || FEvents.Count() == 0)
        return;
    // Going on from here gives what ticks from the start give only when no tick so far has
    // reached the time, and the state came from ticks alone with the markers placed alike.
    const TReplaySettings& then = FProgress.settings;
    const bool samePlacing = then.scaleX == FSettings.scaleX && then.scaleY == FSettings.scaleY &&
                             then.left == FSettings.left && then.top == FSettings.top && then.mapHeight == FSettings.mapHeight;
    const bool goOn = FProgress.pure && !FProgress.halted && samePlacing && seconds > FProgress.maxClock;
    FSeek = TSeek();
    FSeek.active = true;
    FSeek.target = seconds;
    // Pictures are read once per seek (TPictureFileMemo).
    FPictureFiles.SetActive(true);
    try {
        try {
            RunSeekTicks(seconds, goOn);
        } catch (...) {
            if (!FSeek.placingsSkipped)
                throw;
            // The tick that halted may have halted before placing what the tick before it
            // left to it. The same ticks again, placing every marker, halt at the same tick.
            FSeek.skipPlacings = false;
            RunSeekTicks(seconds, false);
        }
    } catch (...) {
        FPictureFiles.SetActive(false);
        FSeek.active = false;
        throw;
    }
    FPictureFiles.SetActive(false);
    FSeek.active = false;
}

void TReplaySession::RunSeekTicks(double seconds, bool goOn)
{
    bool reached = false;
    if (!goOn) {
        RestartRound();
        reached = FReplayTime >= seconds;
    }
    // With the loop on, a time beyond what the loop reaches is never reached: every cycle
    // after the first restart is the same, so one whole cycle without it is enough.
    int restarts = 0;
    while (!reached && !FProgress.ended && restarts < 2) {
        const int index = FEventIndex;
        Tick();
        reached = FProgress.maxClock >= seconds;
        if (FEventIndex < index && !FProgress.ended)
            ++restarts;
    }
}

namespace {

bool IsKill(const TEventInfo& event) { return KindOf(event) == TEventKind::Kill; }

} // namespace

std::optional<double> TReplaySession::NextKillSeekTime() const
{
    const double after = FReplayTime + 3;
    std::optional<double> next;
    for (int i = 0; i < FEvents.Count(); ++i)
        if (const TEventInfo& e = *FEvents.GetEvent(i); IsKill(e) && e.Timestamp > after && (!next || e.Timestamp < *next))
            next = e.Timestamp;
    if (!next)
        return std::nullopt;
    return *next - 3;
}

std::optional<double> TReplaySession::PreviousKillSeekTime() const
{
    const double before = FReplayTime + 3 - 0.5;
    std::optional<double> previous;
    for (int i = 0; i < FEvents.Count(); ++i)
        if (const TEventInfo& e = *FEvents.GetEvent(i);
            IsKill(e) && e.Timestamp < before && (!previous || e.Timestamp > *previous))
            previous = e.Timestamp;
    if (!previous)
        return std::nullopt;
    return *previous - 3;
}
