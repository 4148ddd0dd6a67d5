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
        FSession.SetEventIndex(0);
        throw;
    }
    const TEventInfoList& events = FSession.Events();
    if (events.Count() == 0) {
        Timer1->stop();
        FSession.SetEventIndex(0);
        return;
    }
    ListBox1->lower();
    FSession.BeginRound();
    const int64_t start = WholeSeconds(events.GetEvent(0)->Timestamp);
    const int64_t end = WholeSeconds(events.GetEvent(events.Count() - 1)->Timestamp);
    Label12->SetCaption(IntToStr(CheckedDifference(end, start)));
    PlaceTimeLabels();

    FMapName = RoundMapName(*FRoundNode, FMapName);
    LoadMapPicture();
    if (FMapPictureMissing && FMapImports->ImportMissingMap(*FRoundNode))
        LoadMapPicture();
    FMapImports->TellMapNotice(true);

    // The saved calibration, else the fit, before the first event, so that it is placed as
    // every later one is; only "Save" writes it. The places the map is fitted to are the ones
    // the view frames; a fit that could not be made (a place that is no usable number) frames
    // nothing.
    const TSavedCalibration saved(FSettings.List(), FMapName);
    std::vector<TWorldPoint> places = SelectionPlaces(events, MapObjectFile(FMapName));
    const std::optional<TCalibration> fit =
        SelectionFit(FMapPictureMissing, saved.Present(), events, MapObjectFile(FMapName), FMapImage.Height);
    if (!fit)
        places.clear();
    TakeSelectionCalibration(saved, fit, FCalibration, [this](int TCalibration::*bar, int position, bool savedValue) {
        if (bar == &TCalibration::YScale && savedValue)
            FCorrectionY = position; // kept as saved, also where the slider cannot show it
        SetTrackBarPosition(bar == &TCalibration::XScale   ? TBXas
                            : bar == &TCalibration::YScale ? TBYas
                            : bar == &TCalibration::Left   ? TBLeft
                                                           : TBTop,
                            position);
    });
    if (fit)
        FLayoutChanged = true; // the offsets' handlers leave the map to the next frame

    // Range first: the position then fits whichever round came before.
    TBTime->setRange(TenthsRound(FSession.ReplayTime()), TenthsRound(static_cast<double>(end)));
    TBTime->setValue(TenthsRound(FSession.ReplayTime()));
    TBTime->setTickInterval(TimeLineTickInterval(TBTime->minimum(), TBTime->maximum()));

    MarkRoundStart(); // what a seek back starts again from
    ApplyEvent(FSession.EventIndex());
    StartDrawThread();
    TBMApZoomChange();
    ApplyFirstView(places, saved.Present()); // before the first tick: it is seen framed
    Timer1->start();
    LoadMapObjects(FMapName);
    PCMainInfo->setCurrentWidget(TSMinimap);
}
