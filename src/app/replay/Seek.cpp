// Moving the replay to a moment of its round: the replay runs the ticks, and the window
// shows once what they left.
#include "app/UTarvelMain.h"

#include <QTimer>
#include <QTreeWidget>

void TTarvelMain::SeekTo(double seconds)
{
    Seek([&] { return FReplay.SeekTo(seconds); });
}

bool TTarvelMain::NextKill()
{
    return Seek([&] { return FReplay.NextKill(); });
}

bool TTarvelMain::PreviousKill()
{
    return Seek([&] { return FReplay.PreviousKill(); });
}

bool TTarvelMain::Seek(const std::function<bool()>& seek)
{
    // Whether it ended or halted, the clock follows the replay.
    auto show = [this] {
        ScoreBord->viewport()->update();
        FLayoutChanged = true;
        if (!FReplay.Running())
            Timer1->stop();
        else if (!FStopRequested)
            Timer1->start();
    };
    bool moved = false;
    try {
        moved = seek();
    } catch (...) {
        show(); // halted as the clock halts: what the ticks did so far stays
        throw;
    }
    if (moved)
        show();
    return moved;
}
