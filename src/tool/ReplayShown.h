#pragma once

// What `ornwick replay` prints of a replay: the clock and time display, then the player
// states, the scoreboard's rows, the map objects and the score log, one JSON object a line.
// The window's tests print what the window shows the same way, to compare it with the tool.

#include <iosfwd>
#include <string>
#include <vector>

class TMapObjectList;
class TPlayerStateList;
class TRoundReplay;

struct TReplayShown {
    int ticks = 0;
    double replayTime = 0, roundStartTime = 0;
    int eventIndex = 0;
    std::string timeCaption, lengthCaption;
    int timeLineMin = 0, timeLineValue = 0, timeLineMax = 0;
    bool timer = false;
    const TPlayerStateList* states = nullptr;
    const TMapObjectList* objects = nullptr;
    std::vector<std::vector<std::string>> rows; // the scoreboard's cells
    std::string log;                            // the score log, its lines joined
};

void PrintShown(std::ostream& out, const TReplayShown& shown);

// What a round replay shows, as the window's displays show it.
void PrintReplay(std::ostream& out, const TRoundReplay& replay);
