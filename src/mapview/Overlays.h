#pragma once

// What the replay has seen that the frame can show over the map besides the markers: each
// player's recent path, where the round's deaths happened and the latest kills. Drawing them
// into a frame is frame/OverlayDrawing's.
//
// The history is recorded as events are applied, whether an overlay is shown or not, so
// switching one on shows what went before. A trail holds the places of its player's events:
// between two of them the marker moves in a straight line, so the frame draws the path from
// them and on to where the marker stands now, the way it went, without a place each tick. Deaths and kills are filed under their
// event's index: applying the same event again (a replay that starts over) files nothing
// twice, and what the frame shows is chosen by the replay time, so moving the clock back shows
// the round as it stood then.

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <deque>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>


// Places are world coordinates: the frame puts them on the map with the calibration it is
// drawn with, so that they stay under the markers however the map is calibrated meanwhile.
struct TTrailPoint {
    double time = 0;
    double x = 0, z = 0;
};

struct TDeathMark {
    double time = 0;
    double x = 0, z = 0;
    int32_t team = 0; // the victim's
};

// The calibration that puts world coordinates on the unzoomed map picture, margins included,
// where a marker's centre is drawn.
struct TMapPlacing {
    int32_t scaleX = 0, scaleY = 0; // the scale sliders
    int32_t left = 0, top = 0;      // the margins
    int32_t mapHeight = 0;          // Z runs up from the picture's bottom edge
    bool operator==(const TMapPlacing&) const = default;
    // Nothing for a place beyond the pixels' range.
    std::optional<QPoint> Place(double x, double z) const;
};

struct TKillNote {
    double time = 0;
    std::string killer, weapon, victim;
    int32_t killerTeam = 0, victimTeam = 0;
    bool teamKill = false;
};

class TOverlayHistory {
public:
    static constexpr double TrailKept = 60;        // seconds of replay time a trail keeps
    static constexpr double TrailJump = 200;       // world units: a longer step is a respawn
    static constexpr size_t TrailPointLimit = 4096; // per player, however fast events come
    static constexpr int FeedLength = 5;
    static constexpr double FeedSeconds = 6;

    // A place of the player's path. A step of more than TrailJump starts the path anew, and so
    // does a time earlier than the path's last (the clock was moved back).
    void AddTrailPoint(int32_t player, double time, double x, double z);
    // The player died or left: the path ends here.
    void CutTrail(int32_t player);
    void AddDeath(int eventIndex, const TDeathMark& death);
    void AddKill(int eventIndex, const TKillNote& kill);
    void Clear();

    // The player's path, oldest place first; nothing without one.
    const std::deque<TTrailPoint>* Trail(int32_t player) const;
    size_t TrailCount() const { return FTrails.size(); }
    size_t PointCount() const;
    const std::map<int, TDeathMark>& Deaths() const { return FDeaths; }
    // Changes whenever the deaths do: what was drawn from them may be kept until then.
    uint64_t DeathsVersion() const { return FDeathsVersion; }
    const std::map<int, TKillNote>& Kills() const { return FKills; }
    // The kills the feed shows at the time: the last FeedLength of the FeedSeconds before it,
    // oldest first.
    std::vector<const TKillNote*> FeedAt(double time) const;

private:
    void Prune(double time);

    std::unordered_map<int32_t, std::deque<TTrailPoint>> FTrails;
    std::map<int, TDeathMark> FDeaths;
    std::map<int, TKillNote> FKills;
    uint64_t FDeathsVersion = 0;
    double FPrunedAt = -std::numeric_limits<double>::infinity();
};

// The overlays a frame shows; all off (the default) draws the frame as it was without them.
struct TFrameOverlays {
    const TOverlayHistory* history = nullptr;
    TMapPlacing placing; // where the history's places are drawn
    int trailSeconds = 0; // the length of the trails; 0: none
    bool deathMap = false;
    bool killFeed = false;
    bool Any() const { return history && (trailSeconds > 0 || deathMap || killFeed); }
};

// The trail lengths a user picks from, in seconds; the first of them when nothing was picked.
inline constexpr int TrailLengths[] = {5, 10, 30, 60};
inline constexpr int DefaultTrailSeconds = 10;

// How opaque a trail is at an age (seconds) for a trail of that length: strongest at its
// newest end, gone at its full length. It fades in TrailSteps steps.
inline constexpr int TrailSteps = 10;
double TrailAlpha(double age, int trailSeconds);
// How opaque the kill feed shows a kill of that age: fully for 4 s, then fading until 6 s.
double FeedAlpha(double age);
// How opaque the death map is where the density of deaths (1 at the centre of one) is d.
double DeathAlpha(double density);
// The radius of a death's blob in pixels of the frame at a zoom (thousandths).
int DeathRadius(int zoom);
// The kill feed's text for a kill, as it reads on the map.
std::string KillFeedText(const TKillNote& kill);
