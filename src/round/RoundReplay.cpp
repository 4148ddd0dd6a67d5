#include "round/RoundReplay.h"

#include "base/Convert.h"
#include "settings/ProgramFolder.h"
#include "replay/ReplayMath.h"
#include "xmltree/wexXMLTree.h"

#include <algorithm>

TRoundReplay::TRoundReplay(const TProgramFiles& files, const TPlayerList& roster)
    : FMap(files), FSession(FRoster, Loader())
{
    CopyRoster(roster, FRoster);
}

TReplayLoader TRoundReplay::Loader()
{
    // Through the session's memo, as the window loads them: a seek asks for the same few
    // pictures thousands of times.
    TReplayLoader loader;
    loader.picture = [this](TPictureHolder& image, const std::string& name) { return LoadPicture(image, name); };
    loader.objectFile = [this] { return FMap.ObjectFile(); };
    return loader;
}

std::string TRoundReplay::LoadPicture(TPictureHolder& image, const std::string& name)
{
    const TPictureFile found =
        LoadPictureFile(FSession.PictureFiles(), FMap.Files().ImageFolders(), FMap.Files().PictureMap(), image, name);
    if (found.FileName.empty())
        FMap.PictureMissed(name);
    return found.Name;
}

TReplaySettings ReplaySettingsOf(const TReplayOptions& options, const TMapCalibration& calibration, int mapHeight)
{
    TReplaySettings settings;
    settings.animate = options.animate;
    // The loop restarts as a new pass from the round's start (LoopingTick): the session's own
    // restart would keep each pass's counts and history.
    settings.loop = false;
    settings.scaleX = calibration.Sliders().XScale;
    settings.scaleY = calibration.Sliders().YScale;
    settings.left = calibration.LeftMargin();
    settings.top = calibration.TopMargin();
    settings.mapHeight = mapHeight;
    return settings;
}

void TRoundReplay::SetClock(bool animate, bool loop)
{
    FOptions.animate = animate;
    FOptions.loop = loop;
}

TReplaySettings TRoundReplay::Settings() const
{
    return ReplaySettingsOf(FOptions, FMap.Calibration(), FMap.Picture().Height);
}

TReplaySession& TRoundReplay::LiveSession()
{
    FSession.SetSettings(Settings());
    return FSession;
}

void TRoundReplay::ForgetRound()
{
    FRound = nullptr;
    FSession.ClearEvents();
}

void TRoundReplay::ApplyEvent(int index)
{
    Run([&] { FSession.ApplyEvent(index); });
}

void TRoundReplay::AnimateMarkers()
{
    Run([&] { FSession.AnimateMarkers(); });
}

void TRoundReplay::Select(const TwexXMLNode& round)
{
    FSession.SetSettings(Settings());
    FSession.ClearReplayState();
    FSession.ForgetRoundStart();
    FRound = &round;
    if (round.ChildCount() == 0)
        return;
    // The clock of an earlier round must not run on in a list it was not counting.
    try {
        BuildEventList(round, FSession.Events());
    } catch (...) {
        FSession.EventsChanged();
        FRunning = false;
        FSession.SetEventIndex(0);
        throw;
    }
    FSession.EventsChanged();
    const TEventInfoList& events = FSession.Events();
    if (events.Count() == 0) {
        FRunning = false;
        FSession.SetEventIndex(0);
        return;
    }
    FSession.BeginRound();
    const int64_t start = WholeSeconds(events.GetEvent(0)->Timestamp);
    const int64_t end = WholeSeconds(events.GetEvent(events.Count() - 1)->Timestamp);
    FLengthCaption = IntToStr(CheckedDifference(end, start));
    if (FHooks.begun)
        FHooks.begun();
    FMap.SelectMap(round, FSession.Events());
    FSession.SetSettings(Settings());

    // A slider's range never ends before it begins, and its position stays within it.
    FTimeLineMin = TenthsRound(FSession.ReplayTime());
    FTimeLineMax = std::max(FTimeLineMin, TenthsRound(static_cast<double>(end)));
    FTimeLineValue = FTimeLineMin;
    if (FHooks.starting)
        FHooks.starting();

    FRoundStartLines = FScoreLog.size();
    FRoundStartCaption = FTimeCaption;
    FSession.MarkRoundStart();
    ApplyEvent(FSession.EventIndex());
    FRunning = true;
    if (FHooks.started)
        FHooks.started();
    LiveSession().LoadMapObjects(FMap.ObjectFile());
}

void TRoundReplay::Tick()
{
    if (!FRunning)
        return;
    FRunning = false;
    if (FSession.EventIndex() == FSession.Events().Count())
        return;
    bool runsOn = false;
    Run([&] { runsOn = FSession.LoopingTick(FOptions.loop); });
    FRunning = runsOn;
}

bool TRoundReplay::SeekTo(double seconds)
{
    if (!FSession.RoundMarked() || !FRound || FSession.Events().Count() == 0)
        return false;
    try {
        Run([&] { FSession.SeekTo(seconds); });
    } catch (...) {
        FRunning = false; // halted as the clock halts
        throw;
    }
    FRunning = !FSession.Ended();
    return true;
}

bool TRoundReplay::NextKill() { return SeekToKill(&TReplaySession::NextKillSeekTime); }

bool TRoundReplay::PreviousKill() { return SeekToKill(&TReplaySession::PreviousKillSeekTime); }

bool TRoundReplay::SeekToKill(std::optional<double> (TReplaySession::*killTime)() const)
{
    if (!FSession.RoundMarked())
        return false;
    const std::optional<double> time = (FSession.*killTime)();
    if (time)
        SeekTo(*time);
    return time.has_value();
}

void TRoundReplay::Show(const TReplayReport& report)
{
    if (report.restarted && FScoreLog.size() > FRoundStartLines)
        FScoreLog.resize(FRoundStartLines); // the score log as it was when the round was selected
    // A line of the log is a paragraph of the window's score log: a line break in a name
    // begins another.
    for (const std::string& line : report.scoreLog) {
        size_t from = 0;
        for (size_t at; (at = line.find('\n', from)) != std::string::npos; from = at + 1)
            FScoreLog.push_back(line.substr(from, at - from));
        FScoreLog.push_back(line.substr(from));
    }
    if (report.elapsed)
        FTimeCaption = ElapsedCaption(*report.elapsed);
    else if (report.restarted)
        FTimeCaption = FRoundStartCaption;
    if (report.timeLine)
        FTimeLineValue = std::clamp(*report.timeLine, FTimeLineMin, FTimeLineMax);
    if (FHooks.shown)
        FHooks.shown(report);
}
