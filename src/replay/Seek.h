#pragma once

// What a seek needs to know about the replay beside the clock's own fields: how many ticks the
// state stands for since the round was selected, whether it came from ticks alone (so a seek
// further on may go on from it), and the work a tick leaves to the widgets, which a seek does
// once at its end instead of once per tick.

#include "mapview/PictureHolder.h"
#include "replay/InfoClass.h"

#include <QImage>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// The replay since the round's selection.
struct TReplayProgress {
    bool selected = false; // a round is set up for replaying
    int ticks = 0;         // ticks since the selection that the state stands for
    double maxClock = 0;   // the highest time a tick showed, or the round's start
    bool ended = false;    // the last tick ended the round
    bool halted = true;    // the last tick began and did not finish: an error halted it
    bool inTick = false;   // a tick is running
    // The state is what `ticks` ticks leave, with the settings below: no tick ran on an ended or
    // halted replay, neither animation nor the loop was switched meanwhile, and no marker was
    // moved but by a tick (the calibration moves them).
    bool pure = false;

    // The settings the markers are placed with; another calibration places them elsewhere.
    struct TPlacing {
        int scaleX = 0, scaleY = 0, left = 0, top = 0, mapHeight = 0;
        bool operator==(const TPlacing&) const = default;
    } placing;

    // What a restart puts back: the score log's length and the time display at the selection.
    int memoBlocks = 0; // 0: the score log was empty
    std::string elapsedCaption;
};

// While a seek runs: the widget work of its ticks, done once at the end.
struct TDeferredDisplay {
    bool active = false;
    std::vector<std::string> memoLines; // the score log's new lines, in order
    std::optional<int32_t> elapsed;     // seconds the time display shows, or
    std::optional<std::string> elapsedCaption; // its caption as it was
    std::optional<int> timeLine;
    double target = 0; // the time the seek runs to
    // Whether ticks may leave a marker's placing to the next tick, and whether one did.
    bool skipPlacings = true;
    bool placingsSkipped = false;

    // The scoreboard as the last update left it: every state of this list had its row, with
    // the caption of its side. Rows change only in an update, and leave with their state.
    bool rowsKnown = false;
    std::vector<std::pair<const TInfoClass*, bool>> rows; // the state, on the Axis side

    void Clear()
    {
        memoLines.clear();
        elapsed.reset();
        elapsedCaption.reset();
        timeLine.reset();
        rowsKnown = false;
        rows.clear();
        skipPlacings = true;
        placingsSkipped = false;
    }
};

// The next tick of a seek as far as it touches the markers: the clock it animates them at, and
// the players its events name. An event changes the state of the player it names alone (a
// killer's state gets only the time of its kill), so any other marker the next tick places
// just where this tick's animation would.
struct TNextTick {
    double clock = 0;
    std::array<int32_t, 8> players{};
    size_t playerCount = 0;

    bool Names(int32_t playerID) const
    {
        return std::find(players.begin(), players.begin() + static_cast<std::ptrdiff_t>(playerCount), playerID) !=
               players.begin() + static_cast<std::ptrdiff_t>(playerCount);
    }
};

// The picture files of a seek: a seek asks for the same few pictures thousands of times, and
// the folders do not change while it runs. Outside a seek every question goes to the disk.
class TPictureFileMemo {
public:
    void SetActive(bool on);
    bool FileExists(const std::string& fileName);
    // Loads the picture into the holder and gives the holder its size, as a load from disk does.
    void LoadSized(TPictureHolder& image, const std::string& fileName);
    TPaintedPictures& Painted() { return FPainted; }

private:
    bool FActive = false;
    std::unordered_map<std::string, bool> FExists;
    std::unordered_map<std::string, QImage> FPictures;
    TPaintedPictures FPainted;
};
