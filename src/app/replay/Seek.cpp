// Moving the replay to a moment of its round: the session runs the ticks, and the window
// shows once what they left.
#include "app/UTarvelMain.h"

#include <QPlainTextEdit>
#include <QSlider>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>

void TTarvelMain::ForgetRoundStart()
{
    FSession.ForgetRoundStart();
    TBTime->setEnabled(false);
}

void TTarvelMain::MarkRoundStart()
{
    QTextDocument& log = *Memo1->document();
    FRoundStartMemoBlocks = log.isEmpty() ? 0 : log.blockCount();
    FRoundStartCaption = LTime->Caption();
    LiveSession().MarkRoundStart();
    TBTime->setEnabled(true);
}

void TTarvelMain::ReplaySettingChanged() { FSession.SettingChanged(); }

void TTarvelMain::SeekTo(double seconds)
{
    if (!FSession.RoundMarked() || !FRoundNode || FSession.Events().Count() == 0)
        return;
    try {
        RunSession([&] { LiveSession().SeekTo(seconds); });
    } catch (...) {
        // Halted as the clock halts: what the ticks did so far stays, and the clock is off.
        Timer1->stop();
        ScoreBord->viewport()->update();
        FLayoutChanged = true;
        throw;
    }
    ScoreBord->viewport()->update();
    FLayoutChanged = true;
    if (FSession.Ended())
        Timer1->stop();
    else if (!FStopRequested)
        Timer1->start();
}

bool TTarvelMain::NextKill()
{
    if (!FSession.RoundMarked())
        return false;
    const std::optional<double> time = FSession.NextKillSeekTime();
    if (!time)
        return false;
    SeekTo(*time);
    return true;
}

bool TTarvelMain::PreviousKill()
{
    if (!FSession.RoundMarked())
        return false;
    const std::optional<double> time = FSession.PreviousKillSeekTime();
    if (!time)
        return false;
    SeekTo(*time);
    return true;
}
