#pragma once

// A round replayed, by the window and by the tool alike: the round selected as a double click
// selects it, the timer's ticks, seeks and kill steps, and what the window's displays show of
// them (the time, the round's length, the time line and the score log). The window shows each
// step as it happens through hooks; the tool reads the results.

#include "log/PlayerList.h"
#include "mapview/RoundMap.h"
#include "replay/ReplaySession.h"

#include <functional>
#include <string>
#include <vector>

class TProgramFiles;
class TwexXMLNode;

// How the user has a round replayed: the markers animated between ticks, the round's start
// replayed again after its end, and the clock's interval in milliseconds (the speed, 1 the
// fastest). How long a kill line shows is the view's (TViewOptions).
struct TReplayOptions {
    bool animate = true;
    bool loop = false;
    int interval = 1;
};

// The session's settings for the options and the calibration, on a map picture this high.
TReplaySettings ReplaySettingsOf(const TReplayOptions& options, const TMapCalibration& calibration, int mapHeight);

class TRoundReplay {
public:
    // `roster`: the log's roster; the replay adds to a copy of it.
    TRoundReplay(const TProgramFiles& files, const TPlayerList& roster);
    // What a window shows of the replay's steps as they happen; the tool reads the results.
    struct THooks {
        std::function<void()> begun;    // the round has events: its length is known
        std::function<void()> starting; // map and time line set; the round's start is marked next
        std::function<void()> started;  // the first event applied and the clock on; objects next
        std::function<void(const TReplayReport&)> shown; // a step ran: what it changed
    };
    void SetHooks(THooks hooks) { FHooks = std::move(hooks); }
    TRoundReplay(const TRoundReplay&) = delete;
    TRoundReplay& operator=(const TRoundReplay&) = delete;

    // The map's calibration sliders, to move before the selection as a user moves them.
    TRoundMap& Map() { return FMap; }
    const TRoundMap& Map() const { return FMap; }
    // The round selected last, or nothing.
    const TwexXMLNode* Round() const { return FRound; }
    // The log's roster with what the replay added to it so far; a window loads a log into it.
    const TPlayerList& Roster() const { return FRoster; }
    TPlayerList& Roster() { return FRoster; }
    // The log it came from is gone: no round, no events.
    void ForgetRound();
    void SetClock(bool animate, bool loop);
    TReplayOptions& Options() { return FOptions; }
    const TReplayOptions& Options() const { return FOptions; }
    // The session with the settings as the options and the map stand now: what every step
    // takes, also a window's own (objects placed, markers moved by a setting).
    TReplaySession& LiveSession();
    // The session's settings for the options and the map as they stand now.
    TReplaySettings Settings() const;

    // The selection's steps in its order; a failure raises and keeps what was done before it.
    void Select(const TwexXMLNode& round);
    // One tick of the timer, when it runs.
    void Tick();
    // Whether the timer runs: the round has ticks to come and nothing halted it.
    bool Running() const { return FRunning; }
    // Loads the picture for a name as the replay's markers and objects do, through the memo
    // that serves seeks; a name without one is noted as missing (the map's MissingPictures).
    // The name the picture was looked for under last.
    std::string LoadPicture(TPictureHolder& image, const std::string& name);
    // The clock started again by the user, after a halt.
    void Continue() { FRunning = true; }
    // An event of the round applied, and the markers moved between ticks, as steps of their own.
    void ApplyEvent(int index);
    void AnimateMarkers();
    // Whether it moved: a round is set up to seek in.
    bool SeekTo(double seconds);
    // Whether there was a kill to go to.
    bool NextKill();
    bool PreviousKill();

    TReplaySession& Session() { return FSession; }
    const TReplaySession& Session() const { return FSession; }
    // What the displays show: LTime, Label12, TBTime and the score log's lines.
    const std::string& TimeCaption() const { return FTimeCaption; }
    const std::string& LengthCaption() const { return FLengthCaption; }
    int TimeLineMin() const { return FTimeLineMin; }
    int TimeLineValue() const { return FTimeLineValue; }
    int TimeLineMax() const { return FTimeLineMax; }
    const std::vector<std::string>& ScoreLog() const { return FScoreLog; }
    // How many lines the score log had when the round was selected: what a restart keeps.
    size_t RoundStartLines() const { return FRoundStartLines; }

private:
    // Seeks to the moment the session gives for a kill step, when it gives one.
    bool SeekToKill(std::optional<double> (TReplaySession::*killTime)() const);
    TReplayLoader Loader();
    // Runs a step of the session and takes in what it changed, also when it raises.
    template <class TStep> void Run(TStep step)
    {
        LiveSession();
        RunReported(FSession, step, [this](const TReplayReport& report) { Show(report); });
    }
    void Show(const TReplayReport& report);

    TRoundMap FMap;
    TPlayerList FRoster;
    TReplaySession FSession;
    TReplayOptions FOptions;
    THooks FHooks;
    const TwexXMLNode* FRound = nullptr;
    bool FRunning = false;

    std::string FTimeCaption = "0";
    std::string FLengthCaption = "0";
    int FTimeLineMin = 0, FTimeLineValue = 0, FTimeLineMax = 0;
    std::vector<std::string> FScoreLog;
    // What a restart of the round puts back: the score log's length and the time shown.
    size_t FRoundStartLines = 0;
    std::string FRoundStartCaption;
};
