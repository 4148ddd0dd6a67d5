// The replay clock: each tick adds a tenth of a second of log time, applies the events that
// have fallen due and moves the markers; Stop, Continue and the speed drive it.
#include "app/UTarvelMain.h"
#include "base/Errors.h"
#include "base/Numeric.h"
#include "replay/ReplayMath.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

void TTarvelMain::Timer1Timer()
{
    Timer1->stop();
    if (FStopRequested || FEventIndex == FEvents.Count())
        return;
    if (ReplayTick())
        Timer1->start();
    else
        RoundEnded();
}

bool TTarvelMain::ReplayTick()
{
    TickBegins();
    const int count = FEvents.Count();
    const int index = FEventIndex;
    ApplyDueEvents();
    // From the round's second-to-last event on, each tick applies the last.
    const bool applied = FEventIndex != index || (FEventIndex >= count - 2 && FEventIndex + 1 < count);
    FLayoutChanged = true;
    FReplayTime += 0.1;
    const double clock = FReplayTime;
    const int32_t elapsed = RoundToInt32(static_cast<long double>(FReplayTime) - FRoundStartTime);
    ShowClock(elapsed, TenthsRound(FReplayTime));
    if (ScoreBordBehind(applied)) {
        UpdateScoreBord();
        ScoreBordUpdated();
    }
    FNextTick = FDeferred.active ? NextTick() : std::nullopt;
    AnimateMarkers();
    FNextTick.reset();
    // The round has ended when its second-to-last event is applied; a round of one event
    // ends with its first tick.
    if (FEventIndex >= count - 2) {
        TickEnds(clock, false);
        return false;
    }
    if (ReplayFromstart20Events->isChecked() && FEventIndex > 100) {
        FEventIndex = 0;
        FReplayTime = FEvents.GetEvent(0)->Timestamp;
    }
    TickEnds(clock, true);
    return true;
}

int64_t TTarvelMain::EventDueTenths(int index) const
{
    if (index < FLookAhead.Size())
        if (const int64_t due = FLookAhead.DueTenths(index); due != TEventLookAhead::Raises)
            return due;
    return TenthsTrunc(FEvents.GetEvent(index)->Timestamp);
}

void TTarvelMain::ApplyDueEvents()
{
    const int count = FEvents.Count();
    if (FLookAhead.Size() != count)
        FLookAhead.Build(FEvents);
    std::optional<int64_t> clock; // the clock does not move while events are applied
    for (;;) {
        if (FEventIndex >= count - 2) {
            // The round's last event is applied at once, whatever its time; a round of one
            // event has no event after its first.
            if (FEventIndex + 1 < count)
                ApplyEvent(FEventIndex + 1);
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
            RepaintScoreBord();
            continue;
        }
        // A long pause of the server is crossed in jumps of 100 seconds.
        if (due - *clock > 1000)
            FReplayTime += 100;
        return;
    }
}

std::optional<TNextTick> TTarvelMain::NextTick() const
{
    // Called after this tick moved the clock, before its animation. The next tick comes when
    // the seek goes on and the round does not end; it applies the events then due, as
    // ApplyDueEvents does, and animates after them.
    const int count = FEvents.Count();
    if (!FDeferred.skipPlacings || FEventIndex >= count - 2 || ReplayFromstart20Events->isChecked() ||
        !FDeferred.rowsKnown)
        return std::nullopt;
    if (std::max(FProgress.maxClock, FReplayTime) >= FDeferred.target)
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

void TTarvelMain::AnimateMarkers()
{
    MarkersMoving();
    if (!CBAnimate->isChecked())
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
            PlacedAgainNext(path, nextNow, FLeftMargin, FTopMargin)) {
            FDeferred.placingsSkipped = true;
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
    FLayoutChanged = true;
}

void TTarvelMain::BitBtn1Click()
{
    FStopRequested = true;
    ListBox1->raise();
    Memo1->lower();
}

void TTarvelMain::Button1Click()
{
    FStopRequested = false;
    Timer1->start();
}

void TTarvelMain::TrackBar1Change()
{
    const int interval = TrackBar1->value();
    if (interval < 0)
        throw ERangeError();
    Timer1->setInterval(interval);
    ShowSpeed();
}

void TTarvelMain::StopReplay()
{
    FStopRequested = true;
    Timer1->stop();
    // Blocks without handling window messages, so that no tick can run meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(FStopReplayWait));
    Timer1->stop();
}
