#pragma once

// The round statistics window: "Round statistics" in the Replay menu shows the server's table
// of the round being replayed with the replay's counts beside it, and, when "Round statistics
// at the end of a round" is ticked, so does the round's end, once a round.

#include "replay/RoundStats.h"

#include <QObject>

class QAction;
class QWidget;
class TTarvelMain;

class TRoundStatsForm : public QObject {
public:
    // Adds RoundStatistics1 to the window's Replay1; a child of the window.
    explicit TRoundStatsForm(TTarvelMain& window);

    QAction* RoundStatistics1 = nullptr;
    void RoundStatistics1Click(); // shows the window for the round being replayed
    // The server's table of the round being replayed and the replay's counts beside it.
    TRoundStats RoundStats() const;
    QWidget* Window() const { return FForm; } // nothing until it was shown

    // The clock's tick ended the round.
    void RoundEnded();
    // The round starts anew (selected, or a seek went back to its start): its end shows the
    // statistics again.
    void ForgetRoundEnd() { FRoundEndShown = false; }

private:
    TTarvelMain& FWindow;
    bool FRoundEndShown = false; // the statistics came up at this round's end already
    QWidget* FForm = nullptr; // a child of the main window
};
