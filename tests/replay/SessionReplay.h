#pragma once

// A log's round replayed by a replay session alone, as the window's round selection sets one
// up, and the session's whole state as text for comparing two replays.

#include "LogText.h"
#include "TestUtil.h"
#include "log/EventInfo.h"
#include "log/LogFile.h"
#include "log/PlayerList.h"
#include "log/RoundIndex.h"
#include "replay/ReplaySession.h"
#include "xmltree/wexXMLTree.h"

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace replaylog {

// The calibration of a window without map picture or saved values.
inline TReplaySettings DefaultSettings()
{
    TReplaySettings settings;
    settings.scaleX = settings.scaleY = 2000;
    settings.mapHeight = 105;
    return settings;
}

class TSessionReplay {
public:
    // The log's text, or the name of a log file when `isFile`.
    explicit TSessionReplay(const std::string& log, bool isFile = false)
    {
        LoadLogFile(isFile ? log : FDir.Write("log.xml", log), FDocument);
        WalkLog(FDocument, roster, [this](const std::string&, TwexXMLNode* round) { FRounds.push_back(round); });
        session.SetSettings(DefaultSettings());
    }
    // The round's events, the clock at its start, its first event applied and the map's objects.
    void Select(int round)
    {
        if (round < 0 || round >= static_cast<int>(FRounds.size()))
            throw std::out_of_range("no such round");
        session.ClearReplayState();
        session.ForgetRoundStart();
        BuildEventList(*FRounds[static_cast<size_t>(round)], session.Events());
        session.EventsChanged();
        session.BeginRound();
        session.MarkRoundStart();
        session.ApplyEvent(session.EventIndex());
        session.LoadMapObjects(objectFile);
        Take();
    }
    // At most `count` ticks, as the window's timer runs them: none after the round ended.
    void Ticks(int count)
    {
        for (int i = 0; i < count && !session.Ended(); ++i) {
            session.Tick();
            Take();
        }
    }
    void Seek(double seconds)
    {
        session.SeekTo(seconds);
        Take();
    }
    // What the last steps reported, gathered as a view would show it.
    void Take()
    {
        TReplayReport r = session.TakeReport();
        if (r.restarted)
            scoreLog.clear();
        scoreLog.insert(scoreLog.end(), r.scoreLog.begin(), r.scoreLog.end());
        if (r.elapsed)
            elapsed = *r.elapsed;
        report = std::move(r);
    }
    // Everything a replay leaves: clock, states with their markers, rows, objects, overlays.
    std::string State() const
    {
        std::ostringstream out;
        out.precision(17);
        const TReplaySession& s = session;
        out << "clock " << s.ReplayTime() << " start " << s.RoundStartTime() << " index " << s.EventIndex() << " ticks "
            << s.Ticks() << " ended " << s.Ended() << " elapsed " << elapsed << '\n';
        for (int i = 0; i < s.PlayerStates().Count(); ++i) {
            const TInfoClass& p = *s.PlayerStates().State(i);
            out << "state " << p.PlayerID << ' ' << p.PlayerName << " team " << p.Team() << " dead " << p.Dead << " kills "
                << p.Kills << " deaths " << p.Deaths << " tks " << p.TKs << " class " << p.AbsoluteClassInfo << " in "
                << p.Invechicle << " killed by " << p.KilledByID << " at " << p.Image.Left << ',' << p.Image.Top << ' '
                << p.Image.Width << 'x' << p.Image.Height << '\n';
        }
        for (const TScoreRow& row : s.ScoreRows())
            out << "row " << row.state->PlayerName << (row.axis ? " AXIS" : " ALIES") << '\n';
        for (int i = 0; i < s.MapObjects().Count(); ++i) {
            const TMapObject& o = *s.MapObjects().Object(i);
            out << "object " << o.FObjectClass << ' ' << o.FPosition << " team " << o.FTeam << " at " << o.FImage.Left
                << ',' << o.FImage.Top << '\n';
        }
        for (const auto& [index, death] : s.Overlays().Deaths())
            out << "death " << index << ' ' << death.time << ' ' << death.x << ',' << death.z << '\n';
        for (const auto& [index, kill] : s.Overlays().Kills())
            out << "kill " << index << ' ' << kill.killer << ' ' << kill.victim << '\n';
        out << "trail points " << s.Overlays().PointCount() << '\n';
        for (const std::string& line : scoreLog)
            out << "log " << line << '\n';
        return out.str();
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const TScoreRow& row : session.ScoreRows())
            names.push_back(row.state->PlayerName);
        return names;
    }

private:
    TTempDir FDir;
    TwexXMLTree FDocument{"ROOT", "", nullptr};
    std::vector<TwexXMLNode*> FRounds;

public:
    std::string objectFile; // the map's object file, "" for none
    std::vector<std::string> missing; // the pictures asked for, none of which there are
    TPlayerList roster;
    TReplaySession session{roster, TReplayLoader{[this](TPictureHolder&, const std::string& name) {
                                                     missing.push_back(name);
                                                     return name;
                                                 },
                                                 [this] { return objectFile; }}};
    TReplayReport report;               // the last step's
    std::vector<std::string> scoreLog;  // since the round's start
    int32_t elapsed = 0;
};

} // namespace replaylog
