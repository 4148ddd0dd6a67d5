#include "library/RoundRecord.h"

#include "base/Errors.h"
#include "base/Numeric.h"
#include "level/MapImport.h"
#include "log/EventInfo.h"
#include "log/LogTime.h"
#include "log/OpenedLog.h"
#include "log/PlayerList.h"
#include "mapview/Overlays.h"
#include "mapview/RoundMap.h"
#include "replay/EventKind.h"
#include "replay/ReplaySession.h"
#include "xmltree/ElementContent.h"
#include "xmltree/wexXMLTree.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace {

std::optional<int> WholeNumber(const std::string& text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The log's stays by id, in roster order, looked up without adding placeholders to the roster:
// a player nobody held the id of is named as the replay names them.
class TStays {
public:
    explicit TStays(const TPlayerList& roster)
    {
        for (const TPlayerInfo& stay : roster)
            FById[stay.PlayerID].push_back(&stay);
    }
    // As the roster's FindPlayerAt: the latest stay holding the moment, else the latest stay.
    const TPlayerInfo* At(int32_t id, double time) const
    {
        const auto found = FById.find(id);
        if (id == -1 || found == FById.end())
            return nullptr;
        for (auto at = found->second.rbegin(); at != found->second.rend(); ++at)
            if ((*at)->JoinTime <= time && time <= (*at)->LeaveTime)
                return *at;
        return found->second.back();
    }

private:
    std::unordered_map<int32_t, std::vector<const TPlayerInfo*>> FById;
};

// What a player carries as the events go: the kit of the last spawn or pick-up and the vehicle
// entered since, and the side of the last spawn.
struct TCarried {
    std::string kit, vehicle;
    int team = 0;
};

void Carry(TCarried& carried, const TEventInfo& e, TEventKind kind)
{
    switch (kind) {
    case TEventKind::Spawn:
        carried.team = e.Team;
        [[fallthrough]];
    case TEventKind::Kit:
        carried.kit = e.Kit;
        carried.vehicle.clear();
        break;
    case TEventKind::VehicleEnter: carried.vehicle = e.Vehicle; break;
    case TEventKind::VehicleExit:
    case TEventKind::Death:
    case TEventKind::DeathNoMsg: carried.vehicle.clear(); break;
    default: break;
    }
}

// The victim's own death at the kill's moment, after it in the list: its place is where the
// victim fell.
std::optional<TWorldPlace> VictimPlace(const TEventInfoList& events, int kill)
{
    const TEventInfo& k = *events.GetEvent(kill);
    for (int i = kill + 1; i < events.Count(); ++i) {
        const TEventInfo& e = *events.GetEvent(i);
        if (e.Timestamp != k.Timestamp)
            break;
        if (e.PlayerID == k.VictimID && IsDeath(KindOf(e)))
            return OwnPlace(e.PlayerLocation);
    }
    return std::nullopt;
}

} // namespace

std::optional<TWorldPlace> OwnPlace(const std::string& location)
{
    if (location.empty())
        return std::nullopt;
    const TVectorParts parts = ParseVector(location);
    TEventInfo placed;
    placed.PosX = parts.First;
    placed.PosZ = parts.Third;
    if (!placed.HasPlace())
        return std::nullopt;
    return TWorldPlace{parts.First, parts.Third};
}

TRoundRecords RecordsOfRound(const TOpenedLog& log, int index)
{
    return RecordsOfRound(log.Document(), *log.Round(index), index, log.Roster());
}

TRoundRecords RecordsOfRound(const TwexXMLTree& tree, const TwexXMLNode& node, int index, const TPlayerList& roster)
{
    TRoundRecords records;
    TRoundRecord& round = records.round;
    round.index = index;
    // The library's texts are the log's with every entity decoded, the server's table's as
    // StatText reads them, the rest here; the replay's names have only "&lt;" and "&gt;"
    // decoded, which decoding in full reads the same as the log's own text.
    round.map = DecodeEntities(RoundMapName(node, ""));
    const TRoundGame game = RoundGame(node);
    round.mod = DecodeEntities(game.Mod);
    round.mode = DecodeEntities(game.Mode);

    TEventInfoList events;
    try {
        BuildEventList(node, events);
    } catch (const EBaseError& error) {
        round.note = error.what();
    }
    double end = 0;
    if (events.Count() > 0) {
        round.start = events.GetEvent(0)->Timestamp;
        end = events.GetEvent(events.Count() - 1)->Timestamp;
        round.length = CheckedDifference(WholeSeconds(end), WholeSeconds(*round.start));
    }

    const TRoundStats stats = ReadRoundStats(tree, node);
    round.table = stats.present;
    round.winner = stats.winningTeam;
    round.victoryType = stats.victoryType;
    round.tickets = stats.tickets;

    // One replay of the whole round gives both the counts the stats command prints and the
    // kills the kill feed shows, each with the index of its event.
    // Those who left before the end took their states' counts with them: they are added, so
    // that a round without the server's table counts everybody's kills.
    std::unordered_map<int32_t, TReplayCounts> counts, left;
    std::map<int, TKillNote> notes;
    ReplayWholeRound(
        events, roster,
        [&counts, &notes](const TReplaySession& session) {
            counts = CountsOf(session.PlayerStates());
            notes = session.Overlays().Kills();
        },
        &left);
    for (const auto& [id, gone] : left) {
        TReplayCounts& c = counts[id];
        c.kills = CheckedAdd(c.kills, gone.kills);
        c.deaths = CheckedAdd(c.deaths, gone.deaths);
        c.tks = CheckedAdd(c.tks, gone.tks);
    }
    const TStays stays(roster);

    // The players: the server's table in its order, then whoever was on the server while the
    // round ran, then whoever else the replay counted.
    std::unordered_map<int32_t, size_t> playerAt;
    auto player = [&records, &playerAt](int32_t id) -> TPlayerRoundRecord& {
        const auto [at, added] = playerAt.emplace(id, records.players.size());
        if (added)
            records.players.emplace_back().id = id;
        return records.players[at->second];
    };
    for (const TPlayerStat& row : stats.players) {
        const std::optional<int32_t> id = row.ID();
        if (!id || playerAt.count(*id))
            continue; // a row that names no player, or names one twice, is no player of its own
        TPlayerRoundRecord& p = player(*id);
        p.name = row.Field("player_name");
        p.tableFields = row.fields;
        p.team = WholeNumber(row.Field("team")).value_or(0);
        p.score = WholeNumber(row.Field("score"));
        p.kills = WholeNumber(row.Field("kills"));
        p.deaths = WholeNumber(row.Field("deaths"));
        p.tks = WholeNumber(row.Field("tks"));
    }
    if (round.start)
        for (const TPlayerInfo& stay : roster)
            if (stay.JoinTime <= end && stay.LeaveTime >= *round.start)
                player(stay.PlayerID);
    std::vector<int32_t> counted;
    for (const auto& [id, c] : counts)
        if (!playerAt.count(id))
            counted.push_back(id);
    std::sort(counted.begin(), counted.end());
    for (const int32_t id : counted)
        player(id);

    // The kills the replay applies, as its kill feed has them; one without a victim is none.
    // The kit and vehicle a kill names, or else those the killer carries by then.
    std::unordered_map<int32_t, TCarried> carried;
    auto note = notes.begin();
    for (int i = 0; i < events.Count(); ++i) {
        const TEventInfo& e = *events.GetEvent(i);
        for (; note != notes.end() && note->first < i; ++note) {
        }
        if (note != notes.end() && note->first == i && !note->second.victim.empty()) {
            const TCarried& with = carried[e.PlayerID];
            TKillRecord& kill = records.kills.emplace_back();
            kill.time = e.Timestamp;
            kill.teamKill = note->second.teamKill;
            kill.killerID = e.PlayerID;
            kill.killerName = DecodeEntities(note->second.killer);
            kill.victimID = e.VictimID;
            kill.victimName = DecodeEntities(note->second.victim);
            kill.weapon = DecodeEntities(e.Weapon);
            kill.kit = DecodeEntities(e.Kit.empty() ? with.kit : e.Kit);
            kill.vehicle = DecodeEntities(e.Vehicle.empty() ? with.vehicle : e.Vehicle);
            kill.killerPlace = OwnPlace(e.PlayerLocation);
            kill.victimPlace = VictimPlace(events, i);
        }
        if (PlacesPlayer(e))
            Carry(carried[e.PlayerID], e, KindOf(e));
    }

    const double named = round.start ? end : 0;
    for (TPlayerRoundRecord& p : records.players) {
        if (const TPlayerInfo* stay = stays.At(p.id, named); stay && p.name.empty())
            p.name = DecodeEntities(stay->PlayerName);
        if (p.name.empty())
            p.name = "Bot nr : " + std::to_string(p.id);
        if (p.team == 0)
            if (const auto c = carried.find(p.id); c != carried.end())
                p.team = c->second.team;
        if (const auto c = counts.find(p.id); c != counts.end())
            p.replay = c->second;
    }
    round.players = static_cast<int>(records.players.size());
    return records;
}
