#pragma once

// The server's own table of a round (its "bf:roundstats": winner, victory type, tickets and one
// "bf:playerstat" per player) and the counts the replay makes of the same round, side by side.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class TEventInfoList;
class TPlayerList;
class TPlayerStateList;
class TReplaySession;
class TwexXMLNode;
class TwexXMLTree;

// What the replay counts for a player by the end of the round: the scoreboard's K, D and TK.
struct TReplayCounts {
    int kills = 0;
    int deaths = 0;
    int tks = 0;
};

struct TPlayerStat {
    std::string playerID; // the "playerid" attribute as written; empty without one
    std::vector<std::pair<std::string, std::string>> fields; // name, text, in the server's order
    std::string Field(std::string_view name) const;         // empty when the player has none
    std::optional<int32_t> ID() const;                      // nothing when not a number
};

struct TRoundStats {
    bool present = false; // the round has a "bf:roundstats"
    std::string timestamp, winningTeam, victoryType;
    std::vector<std::pair<std::string, std::string>> tickets; // team, tickets left
    std::vector<TPlayerStat> players;                          // the server's order
    std::vector<std::string> columns; // every field name, in order of first appearance

    // Whether every value of each column ("playerid" included) is a number, in one pass over
    // the table; names never are.
    std::unordered_map<std::string, bool> NumericColumns() const;
};

// The text of an element joined from all its pieces: entity references decoded and each
// "bf:nonprint" child read as the character of its code (one 8-bit character).
std::string StatText(const TwexXMLTree& tree, const TwexXMLNode& element);
// Whether the text is a number as JSON writes one.
bool IsPlainNumber(std::string_view text);

// The first "bf:roundstats" of the round element, read from the tree it belongs to.
TRoundStats ReadRoundStats(const TwexXMLTree& tree, const TwexXMLNode& round);

// The scoreboard's counts of every player state, by player id.
std::unordered_map<int32_t, TReplayCounts> CountsOf(const TPlayerStateList& states);
// The counts of the states a replay of the whole round leaves: every event applied once, in
// order, as the clock applies them, on a copy of the roster. An event that raises ends there
// and the replay goes on with the next, as it does when continued after the error.
std::unordered_map<int32_t, TReplayCounts> ReplayCounts(const TEventInfoList& events, const TPlayerList& roster);
// That replay of the whole round, for those who read more of it than the counts: `read` sees the
// session once every event is applied.
void ReplayWholeRound(const TEventInfoList& events, const TPlayerList& roster,
                      const std::function<void(const TReplaySession&)>& read);
// The same on the events themselves rather than a copy of them: they are lent to the replay,
// which only reads them, and are back as they were once `read` has run, or raised. `left`, when
// given, gets the counts each state had when a "destroyPlayer" took it away, added up by id:
// what the states at the end no longer hold.
void ReplayWholeRound(TEventInfoList& events, const TPlayerList& roster,
                      const std::function<void(const TReplaySession&)>& read,
                      std::unordered_map<int32_t, TReplayCounts>* left = nullptr);

// One JSON object for the round, then one per player in the server's order.
std::vector<std::string> RoundStatsJson(const TRoundStats& stats,
                                        const std::unordered_map<int32_t, TReplayCounts>& counts);
