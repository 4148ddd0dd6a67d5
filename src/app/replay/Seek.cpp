// Moving the replay to a moment of its round: the state the clock's own ticks leave there,
// reached by running those ticks with their widget work done once at the end.
#include "replay/Seek.h"

#include "app/UTarvelMain.h"
#include "base/Files.h"
#include "replay/ReplayMath.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>

// ---- TPictureFileMemo ------------------------------------------------------------------------

void TPictureFileMemo::SetActive(bool on)
{
    FActive = on;
    FPainted.SetActive(on);
    if (!on) {
        FExists.clear();
        FPictures.clear();
    }
}

bool TPictureFileMemo::FileExists(const std::string& fileName)
{
    if (!FActive)
        return ::FileExists(fileName);
    const auto it = FExists.find(fileName);
    if (it != FExists.end())
        return it->second;
    return FExists.emplace(fileName, ::FileExists(fileName)).first->second;
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

// ---- The progress of the replay ---------------------------------------------------------------

TReplayProgress::TPlacing TTarvelMain::MarkerPlacing() const
{
    return {TBXas->value(), TBYas->value(), FLeftMargin, FTopMargin, FMapImage.Height};
}

void TTarvelMain::ForgetRoundStart()
{
    FProgress.selected = false;
    TBTime->setEnabled(false);
}

void TTarvelMain::MarkRoundStart()
{
    QTextDocument& log = *Memo1->document();
    FProgress.memoBlocks = log.isEmpty() ? 0 : log.blockCount();
    FProgress.elapsedCaption = LTime->Caption();
    FProgress.selected = true;
    ResetProgress();
    TBTime->setEnabled(true);
}

void TTarvelMain::ResetProgress()
{
    FProgress.ticks = 0;
    FProgress.maxClock = FReplayTime;
    FProgress.ended = false;
    FProgress.halted = false;
    FProgress.inTick = false;
    FProgress.pure = true;
    FProgress.placing = MarkerPlacing();
}

void TTarvelMain::TickBegins()
{
    if (FProgress.ended || FProgress.halted)
        FProgress.pure = false;
    ++FProgress.ticks;
    FProgress.halted = true; // until the tick gets to its end
    FProgress.inTick = true;
}

void TTarvelMain::TickEnds(double clock, bool runsOn)
{
    FProgress.halted = false;
    FProgress.inTick = false;
    FProgress.ended = !runsOn;
    FProgress.maxClock = std::max(FProgress.maxClock, clock);
}

void TTarvelMain::ReplaySettingChanged() { FProgress.pure = false; }

void TTarvelMain::MarkersMoving()
{
    if (!FProgress.inTick)
        ReplaySettingChanged();
}

// ---- The widget work of a tick ----------------------------------------------------------------

void TTarvelMain::AppendScoreLog(const std::string& line)
{
    if (FDeferred.active)
        FDeferred.memoLines.push_back(line);
    else
        Memo1->appendPlainText(Latin1(line));
}

void TTarvelMain::ShowClock(int32_t elapsed, int32_t timeLine)
{
    if (FDeferred.active) {
        FDeferred.elapsed = elapsed;
        FDeferred.timeLine = timeLine;
        return;
    }
    LTime->SetCaption(ElapsedCaption(elapsed));
    TBTime->setValue(timeLine);
}

bool TTarvelMain::ScoreBordBehind(bool eventsApplied)
{
    if (!FDeferred.active)
        return true;
    // Only events change the states.
    if (!eventsApplied && FDeferred.rowsKnown)
        return false;
    // An update changes nothing when every state has its row with its side's caption: the
    // states are those of the last update, on the same sides, and none of their rows left
    // (a row leaves with its state, whose place a new state may take).
    auto& known = FDeferred.rows;
    bool current = FDeferred.rowsKnown && known.size() == static_cast<size_t>(FPlayerStates.Count()) &&
                   FScoreRows.size() == known.size();
    for (size_t i = 0; current && i < known.size(); ++i) {
        const TInfoClass* state = FPlayerStates.State(static_cast<int>(i));
        current = known[i].first == state && known[i].second == (state->Team() == 1);
    }
    if (current)
        return false;
    // Taken now for the update that follows; an update that fails leaves it unknown.
    FDeferred.rowsKnown = false;
    known.clear();
    for (int i = 0; i < FPlayerStates.Count(); ++i)
        known.emplace_back(FPlayerStates.State(i), FPlayerStates.State(i)->Team() == 1);
    return true;
}

void TTarvelMain::ScoreBordUpdated()
{
    if (FDeferred.active)
        FDeferred.rowsKnown = true;
}

void TTarvelMain::RepaintScoreBord()
{
    if (!FDeferred.active)
        ScoreBord->viewport()->update();
}

void TTarvelMain::ShowDeferred()
{
    if (!FDeferred.memoLines.empty()) {
        // One paragraph of many lines makes the blocks the appends one by one make.
        std::string text;
        for (size_t i = 0; i < FDeferred.memoLines.size(); ++i) {
            if (i > 0)
                text += '\n';
            text += FDeferred.memoLines[i];
        }
        Memo1->appendPlainText(Latin1(text));
    }
    if (FDeferred.elapsed)
        LTime->SetCaption(ElapsedCaption(*FDeferred.elapsed));
    else if (FDeferred.elapsedCaption)
        LTime->SetCaption(*FDeferred.elapsedCaption);
    if (FDeferred.timeLine)
        TBTime->setValue(*FDeferred.timeLine);
    ScoreBord->viewport()->update();
    FLayoutChanged = true;
    FDeferred.Clear();
}

// ---- Seeking ----------------------------------------------------------------------------------

void TTarvelMain::RestartRound()
{
    // The selection's own steps that make the replay state, in its order; the round's events,
    // map and calibration stay as they are.
    ScoreBord->clear();
    ClearReplayState();
    QTextDocument& log = *Memo1->document();
    if (FProgress.memoBlocks == 0) {
        Memo1->clear();
    } else if (log.blockCount() > FProgress.memoBlocks) {
        QTextCursor cursor(log.findBlockByNumber(FProgress.memoBlocks - 1));
        cursor.movePosition(QTextCursor::EndOfBlock);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    FDeferred.memoLines.clear();
    FDeferred.elapsed.reset();
    FDeferred.elapsedCaption = FProgress.elapsedCaption;
    FDeferred.rowsKnown = false;
    FEventIndex = 0;
    FReplayTime = static_cast<double>(WholeSeconds(FEvents.GetEvent(0)->Timestamp));
    FRoundStartTime = FReplayTime;
    FDeferred.timeLine = TenthsRound(FReplayTime);
    ResetProgress();
    ApplyEvent(FEventIndex);
    LoadMapObjects(FMapName);
}

void TTarvelMain::SeekTo(double seconds)
{
    if (!FProgress.selected || !FRoundNode || FEvents.Count() == 0)
        return;
    // Going on from here gives what ticks from the selection give only when no tick so far
    // has reached the time, and the state came from ticks alone.
    const bool goOn = FProgress.pure && !FProgress.halted && FProgress.placing == MarkerPlacing() &&
                      seconds > FProgress.maxClock;
    FDeferred.Clear();
    FDeferred.active = true;
    FDeferred.target = seconds;
    FPictureFiles.SetActive(true);
    try {
        try {
            RunSeekTicks(seconds, goOn);
        } catch (...) {
            if (!FDeferred.placingsSkipped)
                throw;
            // The tick that halted may have halted before placing what the tick before it
            // left to it. The same ticks again, placing every marker, halt at the same tick.
            FDeferred.skipPlacings = false;
            RunSeekTicks(seconds, false);
        }
    } catch (...) {
        // Halted as the clock halts: what the ticks did so far stays, and the clock is off.
        Timer1->stop();
        FinishSeek();
        throw;
    }
    FinishSeek();
    if (FProgress.ended)
        Timer1->stop();
    else if (!FStopRequested)
        Timer1->start();
}

void TTarvelMain::RunSeekTicks(double seconds, bool goOn)
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
        ReplayTick();
        reached = FProgress.maxClock >= seconds;
        if (FEventIndex < index && !FProgress.ended)
            ++restarts;
    }
}

void TTarvelMain::FinishSeek()
{
    FPictureFiles.SetActive(false);
    ShowDeferred();
    FDeferred.active = false;
}

namespace {

bool IsKill(const TEventInfo& event) { return event.EventName == "scoreEvent" && event.ScoreType == "Kill"; }

} // namespace

bool TTarvelMain::NextKill()
{
    if (!FProgress.selected)
        return false;
    const double after = FReplayTime + 3;
    std::optional<double> next;
    for (int i = 0; i < FEvents.Count(); ++i)
        if (const TEventInfo& e = *FEvents.GetEvent(i); IsKill(e) && e.Timestamp > after && (!next || e.Timestamp < *next))
            next = e.Timestamp;
    if (!next)
        return false;
    SeekTo(*next - 3);
    return true;
}

bool TTarvelMain::PreviousKill()
{
    if (!FProgress.selected)
        return false;
    const double before = FReplayTime + 3 - 0.5;
    std::optional<double> previous;
    for (int i = 0; i < FEvents.Count(); ++i)
        if (const TEventInfo& e = *FEvents.GetEvent(i);
            IsKill(e) && e.Timestamp < before && (!previous || e.Timestamp > *previous))
            previous = e.Timestamp;
    if (!previous)
        return false;
    SeekTo(*previous - 3);
    return true;
}
