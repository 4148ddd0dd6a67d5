// `ornwick replay`: a round replayed tick after tick without drawing, then what it shows.
#include "tool/Commands.h"
#include "tool/ReplayShown.h"

#include "base/Convert.h"
#include "base/Json.h"
#include "log/OpenedLog.h"
#include "mapview/MapObject.h"
#include "replay/InfoClass.h"
#include "replay/PlayerStates.h"
#include "round/RoundReplay.h"
#include "xmltree/wexXMLTree.h"

#include <memory>
#include <ostream>

namespace {

std::string VectorJson(const TVector& v)
{
    return "[" + JsonNumber(v.X) + "," + JsonNumber(v.Y) + "," + JsonNumber(v.Z) + "]";
}

int MapObjectIndex(const TMapObjectList& objects, const TMapObject* object)
{
    for (int i = 0; object && i < objects.Count(); ++i)
        if (objects.Object(i) == object)
            return i;
    return -1;
}

std::string StateJson(const TMapObjectList& objects, const std::string& key, TInfoClass& s)
{
    const TMarker& m = s.Image;
    return "{\"key\":" + JsonString(key) + ",\"PlayerID\":" + std::to_string(s.PlayerID) +
           ",\"PlayerName\":" + JsonString(s.PlayerName) + ",\"Team\":" + std::to_string(s.Team()) +
           ",\"FighterClass\":" + JsonString(s.FighterClass()) + ",\"Dead\":" + (s.Dead ? "true" : "false") +
           ",\"Invechicle\":" + JsonString(s.Invechicle) +
           ",\"PositionInvechicle\":" + std::to_string(s.PositionInvechicle) + ",\"Kills\":" + std::to_string(s.Kills) +
           ",\"Deaths\":" + std::to_string(s.Deaths) + ",\"TKs\":" + std::to_string(s.TKs) +
           ",\"Flags\":" + std::to_string(s.Flags) + ",\"KilledByID\":" + std::to_string(s.KilledByID) +
           ",\"KilledByName\":" + JsonString(s.KilledByName) + ",\"KilledByWeapon\":" + JsonString(s.KilledByWeapon) +
           ",\"KillByTime\":" + JsonNumber(s.KillByTime) + ",\"KilledTime\":" + JsonNumber(s.KilledTime) +
           ",\"ETA\":" + JsonNumber(s.ETA) + ",\"TimeLastEvent\":" + JsonNumber(s.TimeLastEvent) +
           ",\"CommingFrom\":" + VectorJson(s.CommingFrom) + ",\"GoingTo\":" + VectorJson(s.GoingTo) +
           ",\"Direction\":" + JsonString(DirectionName(s.Direction())) +
           ",\"AbsoluteClassInfo\":" + JsonString(s.AbsoluteClassInfo) + ",\"marker\":[" + std::to_string(m.Left) +
           "," + std::to_string(m.Top) + "," + std::to_string(m.Width) + "," + std::to_string(m.Height) +
           "],\"MapObjectInUse\":" + std::to_string(MapObjectIndex(objects, s.MapObjectInUse)) + "}";
}

} // namespace

void PrintShown(std::ostream& out, const TReplayShown& r)
{
    out << "{\"ticks\":" << r.ticks << ",\"ReplayTime\":" << JsonNumber(r.replayTime)
        << ",\"RoundStartTime\":" << JsonNumber(r.roundStartTime) << ",\"EventIndex\":" << r.eventIndex
        << ",\"LTime\":" << JsonString(r.timeCaption) << ",\"TBTime\":[" << r.timeLineMin << "," << r.timeLineValue << ","
        << r.timeLineMax << "],\"timer\":" << (r.timer ? "true" : "false") << ",\"Label12\":" << JsonString(r.lengthCaption)
        << "}\n";
    for (int i = 0; i < r.states->Count(); ++i)
        out << StateJson(*r.objects, r.states->Key(i), *r.states->State(i)) << '\n';
    for (const std::vector<std::string>& row : r.rows) {
        out << "{\"row\":[";
        for (size_t column = 0; column < row.size(); ++column)
            out << (column ? "," : "") << JsonString(row[column]);
        out << "]}\n";
    }
    for (int i = 0; i < r.objects->Count(); ++i) {
        const TMapObject& o = *r.objects->Object(i);
        out << "{\"object\":" << i << ",\"class\":" << JsonString(o.FObjectClass) << ",\"team\":" << o.FTeam
            << ",\"position\":" << JsonString(o.FPosition) << ",\"picture\":" << JsonString(o.FPictureName)
            << ",\"x\":" << o.FImage.Left << ",\"y\":" << o.FImage.Top << "}\n";
    }
    if (!r.log.empty()) {
        size_t from = 0;
        for (size_t at; (at = r.log.find('\n', from)) != std::string::npos; from = at + 1)
            out << "{\"log\":" << JsonString(r.log.substr(from, at - from)) << "}\n";
        out << "{\"log\":" << JsonString(r.log.substr(from)) << "}\n";
    }
}

void PrintReplay(std::ostream& out, const TRoundReplay& replay)
{
    const TReplaySession& session = replay.Session();
    TReplayShown shown;
    shown.ticks = session.Ticks();
    shown.replayTime = session.ReplayTime();
    shown.roundStartTime = session.RoundStartTime();
    shown.eventIndex = session.EventIndex();
    shown.timeCaption = replay.TimeCaption();
    shown.lengthCaption = replay.LengthCaption();
    shown.timeLineMin = replay.TimeLineMin();
    shown.timeLineValue = replay.TimeLineValue();
    shown.timeLineMax = replay.TimeLineMax();
    shown.timer = replay.Running();
    shown.states = &session.PlayerStates();
    shown.objects = &session.MapObjects();
    for (const TScoreRow& row : session.ScoreRows()) {
        std::vector<std::string> cells{row.axis ? "AXIS" : "ALIES"};
        for (int column = 1; column < 8; ++column)
            cells.push_back(ScoreCellText(*row.state, column));
        shown.rows.push_back(std::move(cells));
    }
    for (size_t i = 0; i < replay.ScoreLog().size(); ++i)
        shown.log += (i ? "\n" : "") + replay.ScoreLog()[i];
    PrintShown(out, shown);
}

int Replay(TContext& c)
{
    int tickLimit = -1;
    bool animate = true;
    bool loop = false;
    // The seeks and kill steps in their order.
    std::vector<std::function<void(TRoundReplay&)>> moves;
    const TRoundCommand command(c, [&](const std::string& option, size_t& i) {
        if (option == "--no-animate")
            animate = false;
        else if (option == "--loop")
            loop = true;
        else if (option == "--ticks") {
            tickLimit = StrToInt(c.Arg(++i));
            if (tickLimit < 0)
                throw TUsageError();
        } else if (option == "--seek") {
            long double seconds = 0;
            const std::string text = c.Arg(++i);
            if (!TryStrToFloat(LocalizePoints(text), seconds))
                throw TUsageError{"--seek needs a time in seconds, not '" + text + "'"};
            moves.push_back([seconds](TRoundReplay& replay) { replay.SeekTo(static_cast<double>(seconds)); });
        } else if (option == "--next-kill")
            moves.push_back([](TRoundReplay& replay) { replay.NextKill(); });
        else if (option == "--previous-kill")
            moves.push_back([](TRoundReplay& replay) { replay.PreviousKill(); });
        else
            return false;
        return true;
    });
    // The loop never ends the round: only a count of ticks ends the command.
    if (loop && tickLimit < 0)
        throw TUsageError{"--loop replays the round's start again and again: give --ticks K to end it"};
    TToolScope scope;
    TProgramFiles files = StartWithoutWindow(command.home);
    TOpenedLog log;
    // The replay takes the roster as the log gives it: made once the log is open.
    std::unique_ptr<TRoundReplay> replay = std::make_unique<TRoundReplay>(files, log.Roster());
    command.SetUp(replay->Map(), files, scope, c.err);
    RunThenPrint(
        [&] {
            OpenTelling(log, command.log, c.err);
            CheckRoundListed(command.round, log.Rounds().size());
            const TwexXMLNode& round = *log.Round(command.round);
            replay = std::make_unique<TRoundReplay>(files, log.Roster());
            command.SetUp(replay->Map(), files, scope, c.err);
            replay->SetClock(animate, loop);
            RunHandler([&] { replay->Select(round); });
            for (const auto& move : moves)
                RunHandler([&] { move(*replay); });
            // Without a seek the round plays to its end; after one only when asked.
            if (!moves.empty() && tickLimit < 0)
                tickLimit = 0;
            // The ticks run back to back; the timer only says whether another is due.
            for (int ticks = 0; replay->Running() && (tickLimit < 0 || ticks < tickLimit); ++ticks)
                RunHandler([&] { replay->Tick(); });
        },
        [&] { PrintReplay(c.out, *replay); });
    return scope.Finish(c.out, c.err);
}
