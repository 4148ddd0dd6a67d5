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

#include <chrono>
#include <thread>

void TTarvelMain::Timer1Timer()
{
    Timer1->stop();
    const int count = FEvents.Count();
    if (FStopRequested || FEventIndex == count)
        return;
    ApplyDueEvents();
    FLayoutChanged = true;
    FReplayTime += 0.1;
    const int32_t elapsed = RoundToInt32(static_cast<long double>(FReplayTime) - FRoundStartTime);
    LTime->SetCaption(ElapsedCaption(elapsed));
    TBTime->setValue(TenthsRound(FReplayTime));
    UpdateScoreBord();
    AnimateMarkers();
    // The round has ended when its second-to-last event is applied; a round of one event
    // ends with its first tick.
    if (FEventIndex >= count - 2)
        return;
    Timer1->start();
    if (ReplayFromstart20Events->isChecked() && FEventIndex > 100) {
        FEventIndex = 0;
        FReplayTime = FEvents.GetEvent(0)->Timestamp;
    }
}

void TTarvelMain::ApplyDueEvents()
{
    const int count = FEvents.Count();
    for (;;) {
        if (FEventIndex >= count - 2) {
            // The round's last event is applied at once, whatever its time; a round of one
            // event has no event after its first.
            if (FEventIndex + 1 < count)
                ApplyEvent(FEventIndex + 1);
            return;
        }
        const int64_t clock = TenthsTrunc(FReplayTime);
        const int64_t due = TenthsTrunc(FEvents.GetEvent(FEventIndex + 1)->Timestamp);
        if (clock >= due) {
            ++FEventIndex;
            if (FEventIndex == count)
                return;
            ApplyEvent(FEventIndex);
            ScoreBord->viewport()->update();
            continue;
        }
        // A long pause of the server is crossed in jumps of 100 seconds.
        if (due - clock > 1000)
            FReplayTime += 100;
        return;
    }
}

void TTarvelMain::AnimateMarkers()
{
    if (!CBAnimate->isChecked())
        return;
    for (int i = 0; i < FPlayerStates.Count(); ++i) {
        TInfoClass& s = *FPlayerStates.State(i);
        if (s.Dead || !(s.ETA > FReplayTime))
            continue;
        const int32_t eta = TenthsRound(s.ETA);
        int32_t total = CheckedSub(eta, TenthsRound(s.TimeLastEvent));
        if (total < 0)
            total = 0;
        const int32_t remaining = CheckedSub(eta, TenthsRound(FReplayTime));
        const int32_t gx = WorldToMapX(s.GoingTo.X);
        const int32_t gy = WorldToMapY(s.GoingTo.Z);
        const int32_t cx = WorldToMapX(s.CommingFrom.X);
        const int32_t cy = WorldToMapY(s.CommingFrom.Z);
        if (total == 0)
            continue;
        if (gx == cx && gy == cy)
            PlaceMarker(s, gx, gy);
        else
            PlaceMarker(s, InterpolateCoordinate(gx, cx, total, remaining), InterpolateCoordinate(gy, cy, total, remaining));
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
}

void TTarvelMain::StopReplay()
{
    FStopRequested = true;
    Timer1->stop();
    // Blocks without handling window messages, so that no tick can run meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(FStopReplayWait));
    Timer1->stop();
}
