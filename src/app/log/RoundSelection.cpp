// A double click on a round: the previous replay cleared, the round's events, map and
// calibration loaded, its first event applied and the clock started.
#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/Numeric.h"
#include "replay/ReplayMath.h"

#include <QListWidget>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

namespace {

// A difference of whole seconds that raises instead of wrapping.
int64_t CheckedDifference(int64_t a, int64_t b)
{
    int64_t result = 0;
    if (__builtin_sub_overflow(a, b, &result))
        throw EIntOverflow();
    return result;
}

} // namespace

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

    if (const TwexXMLNode* server = FRoundNode->SelectNode("bf:server"))
        for (const TwexXMLNode* setting : server->Children())
            if (setting->Name() == "bf:setting")
                if (const TwexXMLAttribute* name = setting->AttributeByName("name"); name && name->Value() == "map")
                    FMapName = setting->Value();
    LoadMapPicture();

    if (!FSettings.Values(FMapName + "_CORRECTIONY").empty()) {
        SetTrackBarPosition(TBXas, StrToInt(FSettings.Values(FMapName + "_SCALE")));
        FCorrectionY = StrToInt(FSettings.Values(FMapName + "_CORRECTIONY"));
        SetTrackBarPosition(TBYas, FCorrectionY);
        FTopMargin = StrToInt(FSettings.Values(FMapName + "_TOPMARGIN"));
        FLeftMargin = StrToInt(FSettings.Values(FMapName + "_LEFTMARGIN"));
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
