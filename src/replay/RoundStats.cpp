#include "replay/RoundStats.h"

#include "base/Errors.h"
#include "base/Json.h"
#include "base/Numeric.h"
#include "log/EventInfo.h"
#include "log/PlayerList.h"
#include "replay/EventKind.h"
#include "replay/PlayerStates.h"
#include "replay/ReplaySession.h"
#include "xmltree/ElementContent.h"
#include "xmltree/wexXMLTree.h"

#include <algorithm>
#include <charconv>
#include <unordered_set>

namespace {

std::string Attribute(const TwexXMLNode& node, std::string_view name)
{
    const TwexXMLAttribute* attribute = node.AttributeByName(name);
    return attribute ? std::string(attribute->Value()) : std::string();
}

// A child of the table without a "name" is named by its element, less the log's prefix.
std::string FieldName(const TwexXMLNode& node)
{
    if (const TwexXMLAttribute* name = node.AttributeByName("name"))
        return std::string(name->Value());
    std::string_view element = node.Name();
    if (element.substr(0, 3) == "bf:")
        element.remove_prefix(3);
    return std::string(element);
}

bool IsNameColumn(std::string_view column) { return column.find("name") != std::string_view::npos; }

} // namespace

bool IsPlainNumber(std::string_view text)
{
    size_t i = 0;
    if (i < text.size() && text[i] == '-')
        ++i;
    const size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    if (i == digits || (text[digits] == '0' && i - digits > 1))
        return false;
    if (i < text.size() && text[i] == '.') {
        const size_t fraction = ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        if (i == fraction)
            return false;
    }
    return i == text.size();
}

std::string StatText(const TwexXMLTree& tree, const TwexXMLNode& element)
{
    std::string text;
    for (const TElementPiece& piece : ElementContent(tree, element)) {
        if (!piece.child) {
            text += DecodeEntities(piece.text);
        } else if (piece.child->Name() == "bf:nonprint") {
            if (const std::optional<int> code = CharacterCode(piece.child->Value(), 10))
                text += static_cast<char>(*code);
        }
    }
    return text;
}

std::string TPlayerStat::Field(std::string_view name) const
{
    for (const auto& [field, value] : fields)
        if (field == name)
            return value;
    return {};
}

std::optional<int32_t> TPlayerStat::ID() const
{
    const std::string text = playerID.empty() ? Field("player_id") : playerID;
    int32_t id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return id;
}

std::unordered_map<std::string, bool> TRoundStats::NumericColumns() const
{
    // One pass over every value written under a name: the "playerid" attributes and the fields.
    struct TSeen {
        bool any = false, numbers = true;
    };
    std::unordered_map<std::string, TSeen> seen;
    const auto see = [&seen](const std::string& column, const std::string& value) {
        TSeen& s = seen[column];
        if (value.empty())
            return;
        s.any = true;
        s.numbers = s.numbers && IsPlainNumber(value);
    };
    seen["playerid"];
    for (const TPlayerStat& player : players) {
        see("playerid", player.playerID);
        for (const auto& [field, value] : player.fields)
            see(field, value);
    }
    std::unordered_map<std::string, bool> numeric;
    numeric.reserve(seen.size());
    for (const auto& [column, s] : seen)
        numeric.emplace(column, !IsNameColumn(column) && s.any && s.numbers);
    return numeric;
}

TRoundStats ReadRoundStats(const TwexXMLTree& tree, const TwexXMLNode& round)
{
    TRoundStats stats;
    const TwexXMLNode* table = round.SelectNode("bf:roundstats");
    if (!table)
        return stats;
    stats.present = true;
    stats.timestamp = Attribute(*table, "timestamp");
    std::unordered_set<std::string> known; // stats.columns, looked up at every field
    for (const TwexXMLNode* child : table->Children()) {
        const std::string_view name = child->Name();
        if (name == "bf:winningteam") {
            stats.winningTeam = StatText(tree, *child);
        } else if (name == "bf:victorytype") {
            stats.victoryType = StatText(tree, *child);
        } else if (name == "bf:teamtickets") {
            stats.tickets.emplace_back(Attribute(*child, "team"), StatText(tree, *child));
        } else if (name == "bf:playerstat") {
            TPlayerStat& player = stats.players.emplace_back();
            player.playerID = Attribute(*child, "playerid");
            for (const TwexXMLNode* param : child->Children()) {
                std::string field = FieldName(*param);
                if (known.insert(field).second)
                    stats.columns.push_back(field);
                player.fields.emplace_back(std::move(field), StatText(tree, *param));
            }
        }
    }
    return stats;
}

std::unordered_map<int32_t, TReplayCounts> CountsOf(const TPlayerStateList& states)
{
    std::unordered_map<int32_t, TReplayCounts> counts;
    counts.reserve(static_cast<size_t>(states.Count()));
    for (int i = 0; i < states.Count(); ++i) {
        const TInfoClass& state = *states.State(i);
        counts[state.PlayerID] = {state.Kills, state.Deaths, state.TKs};
    }
    return counts;
}

namespace {

// The replay of a session holding the round's events, every event applied once, in order.
void ReplayAll(TReplaySession& session, const std::function<void(const TReplaySession&)>& read,
               std::unordered_map<int32_t, TReplayCounts>* left = nullptr)
{
    session.KeepTrails(false);
    session.EventsChanged();
    // The clock applies the first event at the selection and each later one once as it falls
    // due, in list order; the counts do not depend on when.
    for (int i = 0; i < session.Events().Count(); ++i) {
        // A leaving player's state goes with its counts: they are read just before.
        const TEventInfo& e = *session.Events().GetEvent(i);
        const TInfoClass* leaving = nullptr;
        TReplayCounts before;
        if (left && KindOf(e) == TEventKind::PlayerDestroyed)
            if ((leaving = session.PlayerStates().Find(PlayerKey(e.PlayerID))))
                before = {leaving->Kills, leaving->Deaths, leaving->TKs};
        try {
            session.ApplyEvent(i);
        } catch (const EBaseError&) {
        }
        if (leaving && !session.PlayerStates().Find(PlayerKey(e.PlayerID))) {
            TReplayCounts& sum = (*left)[e.PlayerID];
            sum.kills = CheckedAdd(sum.kills, before.kills);
            sum.deaths = CheckedAdd(sum.deaths, before.deaths);
            sum.tks = CheckedAdd(sum.tks, before.tks);
        }
    }
    read(session);
}

// The roster gains a placeholder for every unknown id the replay names: a copy keeps the
// caller's as it was. Neither pictures nor places change a count, so none are loaded and the
// markers are placed without a calibration.
TReplayLoader NoPictures()
{
    return TReplayLoader{[](TPictureHolder&, const std::string& name) { return name; }, [] { return std::string(); }};
}

} // namespace

void ReplayWholeRound(const TEventInfoList& events, const TPlayerList& roster,
                      const std::function<void(const TReplaySession&)>& read)
{
    TPlayerList copy;
    CopyRoster(roster, copy);
    TReplaySession session(copy, NoPictures());
    for (const TEventInfo& event : events)
        *session.Events().AddEvent() = event;
    ReplayAll(session, read);
}

void ReplayWholeRound(TEventInfoList& events, const TPlayerList& roster,
                      const std::function<void(const TReplaySession&)>& read,
                      std::unordered_map<int32_t, TReplayCounts>* left)
{
    TPlayerList copy;
    CopyRoster(roster, copy);
    TReplaySession session(copy, NoPictures());
    session.Events() = std::move(events);
    struct TGiveBack {
        TEventInfoList& from;
        TEventInfoList& to;
        ~TGiveBack() { to = std::move(from); }
    } giveBack{session.Events(), events};
    ReplayAll(session, read, left);
}

std::unordered_map<int32_t, TReplayCounts> ReplayCounts(const TEventInfoList& events, const TPlayerList& roster)
{
    std::unordered_map<int32_t, TReplayCounts> counts;
    ReplayWholeRound(events, roster, [&counts](const TReplaySession& session) { counts = CountsOf(session.PlayerStates()); });
    return counts;
}

std::vector<std::string> RoundStatsJson(const TRoundStats& stats,
                                        const std::unordered_map<int32_t, TReplayCounts>& counts)
{
    std::vector<std::string> lines;
    if (!stats.present) {
        lines.push_back("{\"stats\":false}");
        return lines;
    }
    // Decided once for all: deciding it at every value made the table quadratic in players.
    const std::unordered_map<std::string, bool> numeric = stats.NumericColumns();
    auto value = [&numeric](const std::string& column, const std::string& text) {
        if (const auto found = numeric.find(column); found == numeric.end() || !found->second)
            return JsonString(text);
        return text.empty() ? std::string("null") : text;
    };
    // Texts of the round that are numbers are written as numbers.
    auto number = [](const std::string& text) { return IsPlainNumber(text) ? text : JsonString(text); };
    std::string round = "{\"stats\":true,\"timestamp\":" + number(stats.timestamp) +
                        ",\"winningteam\":" + number(stats.winningTeam) +
                        ",\"victorytype\":" + number(stats.victoryType) + ",\"tickets\":{";
    for (size_t i = 0; i < stats.tickets.size(); ++i)
        round += (i ? "," : "") + JsonString(stats.tickets[i].first) + ":" + number(stats.tickets[i].second);
    round += "},\"players\":" + std::to_string(stats.players.size()) + "}";
    lines.push_back(std::move(round));
    for (const TPlayerStat& player : stats.players) {
        std::string line = "{\"playerid\":" + value("playerid", player.playerID);
        for (const auto& [field, text] : player.fields)
            line += "," + JsonString(field) + ":" + value(field, text);
        line += ",\"replay\":";
        const std::optional<int32_t> id = player.ID();
        const auto found = id ? counts.find(*id) : counts.end();
        if (found == counts.end())
            line += "null";
        else
            line += "{\"kills\":" + std::to_string(found->second.kills) +
                    ",\"deaths\":" + std::to_string(found->second.deaths) +
                    ",\"tks\":" + std::to_string(found->second.tks) + "}";
        lines.push_back(line + "}");
    }
    return lines;
}
