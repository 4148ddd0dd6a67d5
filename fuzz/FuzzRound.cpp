// The replay target: a log opened as the tool opens one, its rounds listed, and each listed
// round's events built, the round selected in the model's round replay and replayed for a
// bounded number of ticks, then a seek back to the round's start and forward again to where the
// ticks got, which must leave just what they left, and the kill steps.
#include "FuzzScratch.h"
#include "FuzzTargets.h"

#include "base/Errors.h"
#include "log/EventInfo.h"
#include "log/OpenedLog.h"
#include "round/RoundReplay.h"
#include "settings/ProgramFolder.h"
#include "xmltree/wexXMLTree.h"

#include <QHash>

#include <sstream>
#include <string>

namespace {

// Ticks of 0.1 s of log time per round: a minute of the round, and every round's end when it
// comes sooner. Each tick applies all events that fell due, however many.
constexpr int MaxTicksPerRound = 600;

// Runs one step of what a user does; the program's errors end that step only, as the window's
// handlers do. Any other exception is a find and goes on up.
template <typename Step>
void Try(Step&& step)
{
    try {
        step();
    } catch (const EBaseError&) {
    }
}

// Everything a replay leaves that its displays and frames show: the clock, the states with
// their markers and pictures, the scoreboard's rows, the objects, the overlays and the score log.
std::string StateText(const TRoundReplay& replay)
{
    const TReplaySession& s = replay.Session();
    std::ostringstream out;
    out.precision(17);
    out << s.ReplayTime() << ' ' << s.EventIndex() << ' ' << s.Ticks() << ' ' << s.Ended() << ' ' << replay.Running()
        << ' ' << replay.TimeCaption() << ' ' << replay.TimeLineValue() << '\n';
    for (int i = 0; i < s.PlayerStates().Count(); ++i) {
        const TInfoClass& p = *s.PlayerStates().State(i);
        out << s.PlayerStates().Key(i) << ' ' << p.PlayerID << ' ' << p.PlayerName << ' ' << p.Team() << ' ' << p.Dead
            << ' ' << p.Kills << ' ' << p.Deaths << ' ' << p.TKs << ' ' << p.FighterClass() << ' ' << p.Invechicle << ' '
            << p.AbsoluteClassInfo << ' ' << p.KilledByID << ' ' << p.ETA << ' ' << p.Image.Left << ',' << p.Image.Top
            << ' ' << p.Image.Width << 'x' << p.Image.Height;
        // What decides the marker's picture: the name it was found under and its colour.
        out << ' ' << p.Image.PictureName.value_or("-") << ' ' << (p.Image.Colour ? *p.Image.Colour : 0u);
        out << '\n';
    }
    for (const TScoreRow& row : s.ScoreRows())
        out << "row " << row.state->PlayerID << ' ' << row.axis << '\n';
    for (int i = 0; i < s.MapObjects().Count(); ++i) {
        const TMapObject& o = *s.MapObjects().Object(i);
        out << "object " << o.FObjectClass << ' ' << o.FPosition << ' ' << o.FTeam << ' ' << o.FImage.Left << ','
            << o.FImage.Top << '\n';
    }
    out << "overlays " << s.Overlays().Deaths().size() << ' ' << s.Overlays().Kills().size() << ' '
        << s.Overlays().PointCount() << '\n';
    for (const std::string& line : replay.ScoreLog())
        out << "log " << line << '\n';
    return out.str();
}

void CheckClock(const TRoundReplay& replay)
{
    const TReplaySession& s = replay.Session();
    FUZZ_CHECK(s.EventIndex() >= 0 && s.EventIndex() <= s.Events().Count());
    FUZZ_CHECK(replay.TimeLineMin() <= replay.TimeLineValue() && replay.TimeLineValue() <= replay.TimeLineMax());
}

// A seek retraces the ticks: from the round's start to the time they reached, it leaves the
// state they left. A clock too large to move by a tenth reaches that time sooner.
void CheckSeekRetraces(TRoundReplay& replay)
{
    const int ticks = replay.Session().Ticks();
    if (ticks == 0)
        return;
    const double time = replay.Session().ReplayTime();
    const std::string ticked = StateText(replay);
    Try([&] { replay.SeekTo(replay.Session().RoundStartTime() - 1); });
    CheckClock(replay);
    Try([&] { replay.SeekTo(time); });
    CheckClock(replay);
    if (replay.Session().Ticks() == ticks)
        FUZZ_CHECK(StateText(replay) == ticked);
}

} // namespace

void FuzzReplay(const uint8_t* data, size_t size)
{
    static const TFuzzScratch scratch;
    const std::string log = scratch.Write(data, size);
    // The shipped settings, picture map and pictures, read from the sources: nothing is ever
    // written there.
    static TProgramFiles* const files = [] {
        auto* read = new TProgramFiles(ORNWICK_FUZZ_HOME);
        read->Read();
        return read;
    }();

    TOpenedLog opened;
    Try([&] { opened.Open(log); });
    // One replay for all the rounds, as the window keeps one: each selection clears the last.
    TRoundReplay replay(*files, opened.Roster());
    for (int i = 0; i < static_cast<int>(opened.Rounds().size()); ++i) {
        // Every listed round is a round element of the loaded log.
        const TwexXMLNode* round = opened.Round(i);
        const TwexXMLNode* up = round;
        while (up && up != &opened.Document())
            up = up->ParentNode();
        FUZZ_CHECK(up == &opened.Document());

        Try([&] {
            TEventInfoList events;
            opened.BuildRoundEvents(i, events);
        });
        Try([&] { replay.Select(*round); });
        CheckClock(replay);
        for (int tick = 1; replay.Running() && tick <= MaxTicksPerRound; ++tick) {
            Try([&] { replay.Tick(); });
            CheckClock(replay);
        }
        CheckSeekRetraces(replay);
        for (int step = 0; step < 3; ++step) {
            Try([&] { replay.NextKill(); });
            CheckClock(replay);
        }
        Try([&] { replay.PreviousKill(); });
        CheckClock(replay);
    }
}
