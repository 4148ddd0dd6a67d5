// A double click on a round: the replay selects it as the tool's does, and the window shows
// each step as it happens (ConnectReplay): the previous replay cleared, the round's events, map
// and calibration loaded, its first event applied and the clock started.
#include "app/UTarvelMain.h"

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
    TBTime->setEnabled(false); // no round to seek in until it is set up
    FRoundNode = RoundOfItem(selected);
    // The clock of an earlier round must not run on in a list it was not counting: an empty
    // one, or one whose building failed part way.
    try {
        FReplay.Select(*FRoundNode);
    } catch (...) {
        if (!FReplay.Running())
            Timer1->stop();
        throw;
    }
    if (FRoundNode->ChildCount() == 0)
        return;
    if (FReplay.Session().Events().Count() == 0) {
        Timer1->stop();
        return;
    }
    PCMainInfo->setCurrentWidget(TSMinimap);
}
