#pragma once

// What a frame shows besides the replay itself: the switches of the Main page, the View menu
// and the scoreboard's tracking, held as one value. The window owns one (its controls show it
// and write it when the user changes them); the tool fills one from its options; a video takes
// a copy.

#include "mapview/Overlays.h"

#include <QFont>

#include <string>

struct TViewOptions {
    bool showObjects = true;  // CBShowobjects
    bool showFlags = true;    // ShowFlags
    bool showHitLines = true; // ShowHitLines
    bool killInfo = false;    // CBKillINfo
    int timeToSeeLine = 10;   // TBTimeToSeeLine, seconds
    // A map without a picture of its own drawn on a grid of world units ("Grid background").
    bool gridBackground = true;
    bool trails = false;
    int trailSeconds = DefaultTrailSeconds; // the length picked, kept while the trails are off
    bool deathMap = false, killFeed = false;
    bool trackPlayer = false;  // CBTrackPlayer
    std::string trackedPlayer; // the state key of the player selected on the scoreboard, or ""

    // The trails' length as a frame draws them; 0: none.
    int TrailsShown() const { return trails ? trailSeconds : 0; }
    // The player the view follows, or "".
    std::string Tracked() const { return trackPlayer ? trackedPlayer : std::string(); }
};

// The settings key of "Grid background"; "false" switches it off, anything else (or no line) on.
inline constexpr char GridBackgroundKey[] = "GridBackground";

// The program's font: a narrow 8-point face as the layout was designed for, or the nearest.
QFont ProgramFont();
// The labels of a frame: the program's font drawn without smoothing, so that a frame knows
// every pixel it touched.
QFont FrameFont();
