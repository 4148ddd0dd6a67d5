// A double click on a round: the previous replay cleared, the round's events, map and
// calibration loaded, its first event applied and the clock started.
#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/Numeric.h"
#include "mapview/RoundMap.h"
#include "replay/ReplayMath.h"

#include <QListWidget>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

void TTarvelMain::ListBox1DblClick()
{
    FCorrectionY = 1000;
    const int selected = ListBox1->currentRow();
    if (selected < 0)
        return;
    FStopRequested = false;
    ScoreBord->clear();
    ClearReplayState();
    ForgetRoundStart();
    FRoundNode = RoundOfItem(selected);
    if (FRoundNode->ChildCount() == 0)
        return;
    // The clock of an earlier round must not run on in a list it was not counting: an empty
    // one, or one whose building failed part way.
    try {
        BuildEventList();
    } catch (...) {
        Timer1->stop();
        FEventIndex = 0;
        throw;
    }
    if (FEvents.Count() == 0) {
        Timer1->stop();
        FEventIndex = 0;
        return;
    }
    ListBox1->lower();
    FReplayTime = 0;
    FRoundStartTime = 0;
    FEventIndex = 0;
    const int64_t start = WholeSeconds(FEvents.GetEvent(0)->Timestamp);
    FReplayTime = static_cast<double>(start);
    FRoundStartTime = FReplayTime;
    const int64_t end = WholeSeconds(FEvents.GetEvent(FEvents.Count() - 1)->Timestamp);
    Label12->SetCaption(IntToStr(CheckedDifference(end, start)));

    FMapName = RoundMapName(*FRoundNode, FMapName);
    LoadMapPicture();

    if (const TSavedCalibration saved(FSettings, FMapName); saved.Present()) {
        SetTrackBarPosition(TBXas, saved.Scale());
        FCorrectionY = saved.CorrectionY();
        SetTrackBarPosition(TBYas, FCorrectionY);
        FTopMargin = saved.TopMargin();
        FLeftMargin = saved.LeftMargin();
        SetTrackBarPosition(TBTop, FTopMargin);
        SetTrackBarPosition(TBLeft, FLeftMargin);
    }

    // Range first: the position then fits whichever round came before.
    TBTime->setRange(TenthsRound(FReplayTime), TenthsRound(static_cast<double>(end)));
    TBTime->setValue(TenthsRound(FReplayTime));

    MarkRoundStart(); // what a seek back starts again from
    ApplyEvent(FEventIndex);
    StartDrawThread();
    TBMApZoomChange();
    Timer1->start();
    LoadMapObjects(FMapName);
    PCMainInfo->setCurrentWidget(TSMinimap);
}
