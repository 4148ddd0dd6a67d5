#include "mapview/Overlays.h"

#include "base/Errors.h"
#include "base/Numeric.h"
#include "mapview/WorldToMap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

// ---- The history ----------------------------------------------------------------------------

namespace {

// A time this much earlier than the last is the clock moved back, not events out of order.
constexpr double TimeSlack = 0.25;

} // namespace

std::optional<QPoint> TMapPlacing::Place(double x, double z) const
{
    // As a marker is placed (PlaceMarker), only without raising: a frame draws what it can.
    try {
        const int32_t mapX = CheckedAdd(ScaleWorldToMap(scaleX, x), left);
        const int32_t mapY = CheckedAdd(CheckedSub(mapHeight, ScaleWorldToMap(scaleY, z)), top);
        return QPoint(mapX, mapY);
    } catch (const EBaseError&) {
        return std::nullopt;
    }
}

void TOverlayHistory::AddTrailPoint(int32_t player, double time, double x, double z)
{
    Prune(time);
    std::deque<TTrailPoint>& trail = FTrails[player];
    while (!trail.empty() && trail.back().time > time + TimeSlack)
        trail.pop_back();
    if (!trail.empty()) {
        const TTrailPoint& last = trail.back();
        if (std::hypot(x - last.x, z - last.z) > TrailJump)
            trail.clear();
        else if (last.x == x && last.z == z)
            return; // standing: the place it has is where the path goes on from
    }
    trail.push_back({time, x, z});
    while (trail.size() > TrailPointLimit || trail.front().time < time - TrailKept)
        trail.pop_front();
}

void TOverlayHistory::CutTrail(int32_t player) { FTrails.erase(player); }

void TOverlayHistory::AddDeath(int eventIndex, const TDeathMark& death)
{
    FDeaths[eventIndex] = death;
    ++FDeathsVersion;
}

void TOverlayHistory::AddKill(int eventIndex, const TKillNote& kill) { FKills[eventIndex] = kill; }

void TOverlayHistory::Clear()
{
    FTrails.clear();
    FDeaths.clear();
    FKills.clear();
    ++FDeathsVersion;
    FPrunedAt = -std::numeric_limits<double>::infinity();
}

const std::deque<TTrailPoint>* TOverlayHistory::Trail(int32_t player) const
{
    const auto found = FTrails.find(player);
    return found == FTrails.end() ? nullptr : &found->second;
}

size_t TOverlayHistory::PointCount() const
{
    size_t n = 0;
    for (const auto& [player, trail] : FTrails)
        n += trail.size();
    return n;
}

void TOverlayHistory::Prune(double time)
{
    // Now and then every path loses what is too old, or (the clock moved back) too new; the
    // paths of players who have gone go with it.
    if (time >= FPrunedAt && time < FPrunedAt + 5)
        return;
    FPrunedAt = time;
    for (auto it = FTrails.begin(); it != FTrails.end();) {
        std::deque<TTrailPoint>& trail = it->second;
        while (!trail.empty() && trail.back().time > time + TimeSlack)
            trail.pop_back();
        while (!trail.empty() && trail.front().time < time - TrailKept)
            trail.pop_front();
        it = trail.empty() ? FTrails.erase(it) : std::next(it);
    }
}

std::vector<const TKillNote*> TOverlayHistory::FeedAt(double time) const
{
    std::vector<const TKillNote*> feed;
    for (auto it = FKills.rbegin(); it != FKills.rend() && static_cast<int>(feed.size()) < FeedLength; ++it) {
        const double age = time - it->second.time;
        if (age < -TimeSlack)
            continue; // after the clock: moved back past it
        if (age >= FeedSeconds)
            break; // filed in the order they happened
        feed.push_back(&it->second);
    }
    std::reverse(feed.begin(), feed.end());
    return feed;
}

// ---- Shapes of the overlays ---------------------------------------------------------------

double TrailAlpha(double age, int trailSeconds)
{
    if (trailSeconds <= 0 || age >= trailSeconds)
        return 0;
    return 0.9 * (1 - std::max(0.0, age) / trailSeconds);
}

double FeedAlpha(double age)
{
    if (age >= TOverlayHistory::FeedSeconds)
        return 0;
    if (age <= 4)
        return 1;
    return (TOverlayHistory::FeedSeconds - age) / (TOverlayHistory::FeedSeconds - 4);
}

double DeathAlpha(double density)
{
    if (density <= 0)
        return 0;
    // One death shows clearly; many on one spot approach the most without reaching it.
    return 0.85 * (1 - std::pow(1 + density, -1.2));
}

int DeathRadius(int zoom)
{
    // A blob keeps about its size on the screen, as markers do, a little larger close up.
    const double r = 14 * std::sqrt(std::max(zoom, 1) / 1000.0);
    return std::clamp(static_cast<int>(std::lround(r)), 10, 34);
}

std::string KillFeedText(const TKillNote& kill)
{
    std::string text = kill.killer + " ";
    if (!kill.weapon.empty())
        text += "[" + kill.weapon + "] ";
    text += kill.victim;
    if (kill.teamKill)
        text += " (team kill)";
    return text;
}
