#pragma once

// One replay of a round: its events and their look-ahead, the player states, the map's objects,
// the overlay history and the clock, with seeks and kill steps. It knows no widgets: the
// settings that shape a replay come in as values, pictures through a loader, and each tick
// tells what it changed for a view to show.

#include "log/EventInfo.h"
#include "log/PlayerList.h"
#include "mapview/MapObject.h"
#include "mapview/Overlays.h"
#include "mapview/PictureHolder.h"
#include "mapview/RoundMap.h"
#include "replay/EventKind.h"
#include "replay/LookAhead.h"
#include "replay/MarkerKinds.h"
#include "replay/MarkerPath.h"
#include "replay/PlayerStates.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <unordered_map>
#include <vector>

// What a view lets the replay know: the switches of the clock and the calibration that turns
// world positions into pixels of the map picture.
struct TReplaySettings {
    bool animate = true;
    bool loop = false; // back to the round's start once past its hundredth event
    int32_t scaleX = 0, scaleY = 0;
    int32_t left = 0, top = 0; // margins added to every place, in map pixels
    int32_t mapHeight = 0;     // the map picture's height: Z runs up from its bottom edge
    bool operator==(const TReplaySettings&) const = default;
};

// What ticks (or a seek) changed that a view shows, since the view last took it.
struct TReplayReport {
    bool restarted = false;             // back to the round's start: the score log as it was then
    std::vector<std::string> scoreLog;  // lines to append to the score log, in order
    std::optional<int32_t> elapsed;     // seconds since the round's start to show
    std::optional<int32_t> timeLine;    // the clock in tenths, for the time line
    bool eventsApplied = false;
    bool statesRemoved = false;
    bool roundEnded = false; // the last tick ended the round
    bool moved = false;      // anything a frame shows may have changed
};

// The scoreboard's rows as the replay orders them: a row joins when its state appears, leaves
// with it, and the rows are stably sorted by side ("ALIES" before "AXIS") whenever one joined
// or changed side. The order depends on that history, so a seek must keep it as ticks do.
struct TScoreRow {
    TInfoClass* state = nullptr;
    bool axis = false;
    uint64_t serial = 0; // new for every row: a state at a freed state's address is a new row
};

// Pictures the replay asks for by name, and the map object file of the current map.
struct TReplayLoader {
    // Loads the picture for a name into the holder, returning the name it was found under.
    std::function<std::string(TPictureHolder&, const std::string&)> picture;
    // The current map's object file, or "" without one.
    std::function<std::string()> objectFile;
};

// The picture files of a seek: a seek asks for the same few pictures thousands of times, and
// the folders do not change while it runs. Outside a seek every question goes to the disk.
class TPictureFileMemo {
public:
    void SetActive(bool on);
    bool Active() const { return FActive; }
    // The file a picture's name stands for (FindFileNoCase).
    std::string FindFile(const std::string& fileName);
    // Loads the picture into the holder and gives the holder its size, as a load from disk does.
    void LoadSized(TPictureHolder& image, const std::string& fileName);

private:
    bool FActive = false;
    std::unordered_map<std::string, std::string> FFound;
    std::unordered_map<std::string, QImage> FPictures;
};

// Finds the picture for a name in the folders (FindPictureFile) and loads it into the holder
// through the memo; the holder stays as it was when none is found (FileName then "").
TPictureFile LoadPictureFile(TPictureFileMemo& files, const std::vector<std::string>& folders,
                             const TTextList& pictureMap, TPictureHolder& image, const std::string& name);

// The next tick of a seek as far as it touches the markers: the clock it animates them at, and
// the players its events name. An event changes the state of the player it names alone (a
// killer's state gets only the time of its kill), so any other marker the next tick places
// just where this tick's animation would.
struct TNextTick {
    double clock = 0;
    std::array<int32_t, 8> players{};
    size_t playerCount = 0;

    bool Names(int32_t playerID) const
    {
        for (size_t i = 0; i < playerCount; ++i)
            if (players[i] == playerID)
                return true;
        return false;
    }
};

class TReplaySession {
public:
    TReplaySession(TPlayerList& roster, TReplayLoader loader);
    TReplaySession(const TReplaySession&) = delete;
    TReplaySession& operator=(const TReplaySession&) = delete;

    // The settings the next steps run with; a change of the clock's switches means the state
    // no longer comes from ticks alone.
    void SetSettings(const TReplaySettings& settings);
    const TReplaySettings& Settings() const { return FSettings; }
    TMapScale MapScale() const { return {FSettings.scaleX, FSettings.scaleY, FSettings.mapHeight}; }
    // Where the overlays' places are drawn with these settings.
    TMapPlacing Placing() const { return PlacingOf(FSettings); }
    static TMapPlacing PlacingOf(const TReplaySettings& s) { return {s.scaleX, s.scaleY, s.left, s.top, s.mapHeight}; }
    int32_t WorldToMapX(double x) const;
    int32_t WorldToMapY(double z) const;

    // ---- The round ----
    TEventInfoList& Events() { return FEvents; }
    const TEventInfoList& Events() const { return FEvents; }
    // After the events changed: their look-ahead describes them anew.
    void EventsChanged();
    void ClearEvents();
    // Frees every player state, map object and the overlays.
    void ClearReplayState();
    // The clock at the round's first event; its first event is not applied yet.
    void BeginRound();
    // The state a seek back starts again from: the round as BeginRound left it.
    void MarkRoundStart();
    void ForgetRoundStart();
    bool RoundMarked() const { return FProgress.selected; }

    // ---- Applying events ----
    void ApplyEvent(int index);
    void ApplyDueEvents();
    // The first state whose PlayerID is the id; "Error finding kiled player" without one.
    TInfoClass* FindPlayerState(int32_t playerID) const;
    void PlaceMarker(TInfoClass& state, int32_t x, int32_t y);
    void PlaceMarker(TInfoClass& state, int32_t x, int32_t y, TLastPlace& last, const TMapScale& scale);
    void AnimateMarkers();
    // The scoreboard's rows brought up to the states (see TScoreRow).
    void UpdateScoreRows();

    // ---- Map objects ----
    void LoadMapObjects(const std::string& objectFile); // nothing for ""
    void AddMapObject(const std::string& objectClass, const std::string& position, const std::string& team);
    void PlaceMapObject(TMapObject& object);
    void PlaceAllMapObjects();

    // ---- The clock ----
    // One tick: a tenth of a second of log time, the events then due, the markers moved.
    // Whether the clock runs on.
    bool Tick();
    // A tick of a replay that loops: once past the round's hundredth event the round starts
    // again from the state of its start, as a seek back there leaves it, so that the deaths,
    // the overlays and the score log of the passes before go and a loop left running keeps to
    // the memory of one pass.
    bool LoopingTick(bool loop)
    {
        const bool runsOn = Tick();
        if (runsOn && loop && FEventIndex > 100)
            SeekTo(FRoundStartTime);
        return runsOn;
    }
    // The state the clock leaves when it ticks from the round's start until its time first
    // reaches `seconds` or the round ends. An error halts the seek at that tick and is raised.
    // Nothing without a marked round start.
    void SeekTo(double seconds);
    // The time of the next "Kill" (NextKill) stamped later than the clock plus 3 s, or the last
    // one stamped earlier than the clock plus 2.5 s, less 3 s; nothing without one.
    std::optional<double> NextKillSeekTime() const;
    std::optional<double> PreviousKillSeekTime() const;
    // The markers moved by something other than a tick: a seek must start over.
    void SettingChanged() { FProgress.pure = false; }

    // What changed since the last call.
    TReplayReport TakeReport();

    double ReplayTime() const { return FReplayTime; }
    double RoundStartTime() const { return FRoundStartTime; }
    int EventIndex() const { return FEventIndex; }
    void SetEventIndex(int index) { FEventIndex = index; }
    int Ticks() const { return FProgress.ticks; }
    bool Ended() const { return FProgress.ended; }

    const TPlayerStateList& PlayerStates() const { return FPlayerStates; }
    TPlayerStateList& PlayerStates() { return FPlayerStates; }
    const TMapObjectList& MapObjects() const { return FMapObjects; }
    TMapObjectList& MapObjects() { return FMapObjects; }
    const TOverlayHistory& Overlays() const { return FOverlays; }
    // A replay that is never drawn (counting, indexing) need not follow the players' trails.
    void KeepTrails(bool keep) { FKeepTrails = keep; }
    const std::vector<TScoreRow>& ScoreRows() const { return FScoreRows; }
    // Changes whenever the rows do.
    uint64_t ScoreRowsVersion() const { return FScoreRowsVersion; }
    TPictureFileMemo& PictureFiles() { return FPictureFiles; }

private:
    // What an event does, by its kind. MovePlayerState finds or makes the state of the event's
    // player and moves it to the event; nullptr when the roster knows neither the player nor
    // the killer the look-ahead found, and the event then does nothing more.
    TInfoClass* MovePlayerState(int index);
    void ApplyKit(TInfoClass& s, const TEventInfo& e);
    void ApplySpawn(TInfoClass& s, const TEventInfo& e);
    void ApplyVehicleEnter(TInfoClass& s, const TEventInfo& e);
    void ApplyVehicleExit(TInfoClass& s, const TEventInfo& e);
    void ApplyVehicleDestroy(TInfoClass& s, const TEventInfo& e);
    void ApplyDeath(TInfoClass& s, const TEventInfo& e, TEventKind kind);
    void ApplyAttack(TInfoClass& s, const TEventInfo& e);
    void LogScore(const TInfoClass& s, const TEventInfo& e, TEventKind kind);
    void RemovePlayerState(int32_t playerID);
    void RecordOverlayEvent(int index, TEventKind kind);
    void RemoveScoreRow(const TInfoClass* state);
    int64_t EventDueTenths(int index) const;
    std::optional<TNextTick> NextTick() const;
    void RestartRound();
    void RunSeekTicks(double seconds, bool goOn);
    void TickBegins();
    void TickEnds(double clock, bool runsOn);
    void ResetProgress();
    std::string LoadPicture(TPictureHolder& image, const std::string& name) { return FLoader.picture(image, name); }
    // Loads the picture for a name as the marker's; the marker keeps its picture when none is
    // found. The name it was looked for under last.
    std::string LoadMarkerPicture(TMarker& marker, const std::string& name, TMarkerFor what);
    // The built-in picture of the kind the state's vehicle or kit tells, on its marker.
    void ShowStandIn(TInfoClass& s);
    void ShowStandIn(TMarker& marker, TMarkerKind kind);

    TPlayerList& FRoster;
    TReplayLoader FLoader;
    TReplaySettings FSettings;

    TEventInfoList FEvents;
    TEventLookAhead FLookAhead;
    TPlayerStateList FPlayerStates;
    TMapObjectList FMapObjects;
    TOverlayHistory FOverlays;
    bool FKeepTrails = true;
    std::vector<TMarkerPath> FMarkerPaths;    // by the states' places in FPlayerStates
    std::vector<TInfoClass*> FAnimatedStates; // AnimateMarkers' own list of them

    std::vector<TScoreRow> FScoreRows;
    uint64_t FScoreRowsVersion = 0;
    uint64_t FNextRowSerial = 1;
    // Every state has its row with its side as the last update left it: only events change
    // that, so a tick that applied none needs no update.
    bool FScoreRowsCurrent = false;
    std::vector<std::pair<const TInfoClass*, bool>> FKnownStates; // the states at the last update, on the Axis side

    int32_t FEventIndex = 0; // the latest event applied in order
    double FReplayTime = 0;  // the clock, seconds of the log
    double FRoundStartTime = 0;

    // The replay since the round's start.
    struct TProgress {
        bool selected = false; // a round start is marked
        int ticks = 0;         // ticks since then that the state stands for
        double maxClock = 0;   // the highest time a tick showed, or the round's start
        bool ended = false;    // the last tick ended the round
        bool halted = true;    // the last tick began and did not finish: an error halted it
        bool inTick = false;
        // The state is what `ticks` ticks leave with these settings: no tick ran on an ended
        // or halted replay, the switches did not change and no marker was moved but by a tick.
        bool pure = false;
        TReplaySettings settings;
    } FProgress;

    // While a seek runs.
    struct TSeek {
        bool active = false;
        double target = 0;
        // Whether ticks may leave a marker's placing to the next tick, and whether one did.
        bool skipPlacings = true;
        bool placingsSkipped = false;
    } FSeek;
    // In a seek: what the next tick does before its animation, when that tick surely comes.
    std::optional<TNextTick> FNextTick;

    TReplayReport FReport;
    TPictureFileMemo FPictureFiles;
};

// Runs a step of the session and hands what it changed to `show`, also when the step raises.
template <class TStep, class TShow>
void RunReported(TReplaySession& session, TStep&& step, TShow&& show)
{
    try {
        step();
    } catch (...) {
        show(session.TakeReport());
        throw;
    }
    show(session.TakeReport());
}
