#pragma once

// The "Replay" menu: its playback items, whose keys work wherever the window's focus is, the
// speed shown beside TrackBar1, and the time line TBTime, which seeks where it is clicked.
// It drives the window through the window's own handlers: what an item does is what the
// window's buttons and seeks do.

#include <QObject>

#include <string>
#include <vector>

class TLabel;
class TTarvelMain;

class TReplayMenu : public QObject {
public:
    // Fills the window's Replay1 (the window gets the items' keys) and puts LSpeed on the
    // Player page; a child of the window.
    explicit TReplayMenu(TTarvelMain& window);

    void StopContinueClick(); // Stop while the replay runs, else Continue
    void FasterClick();       // TrackBar1 to the next shorter of the speed steps
    void SlowerClick();
    void PreviousRoundClick(); // the item of ListBox1 before the selected one, replayed
    void NextRoundClick();
    void FollowPlayerClick();  // tracks the scoreboard's selected player
    void KeyboardShortcutsClick();
    // The intervals Faster and Slower step TrackBar1 through, slowest first.
    static const std::vector<int>& SpeedSteps();
    // The speed of an interval as a multiple of real time: "x0.1" to "x100".
    static std::string SpeedCaption(int interval);
    // LSpeed follows TrackBar1.
    void ShowSpeed();
    // To where TBTime shows this position.
    void SeekTimeLine(int tenths);

    TLabel* LSpeed = nullptr; // the speed, beside TrackBar1

private:
    TTarvelMain& FWindow;
};
