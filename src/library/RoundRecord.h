#pragma once

// What a match library keeps of one round of a log: the round, each of its players and each
// kill the replay applies, computed from the opened log with the same functions the round list,
// the stats command and the replay use, so that a stored row never disagrees with them.

#include "replay/RoundStats.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TEventInfoList;
class TOpenedLog;
class TPlayerList;
class TwexXMLNode;
class TwexXMLTree;

struct TRoundRecord {
    int index = 0;              // the round's place in the round list, 0 first
    std::string map;            // the round's "map" setting; empty when it has none
    std::string mod, mode;      // as the map import reads them (its defaults when unnamed)
    std::optional<double> start; // time stamp of its first event; nothing without events
    int64_t length = 0;         // whole seconds from first to last event, as the window shows
    int players = 0;            // the player records of the round
    bool table = false;         // the round has the server's table
    std::string winner, victoryType; // as the table gives them; empty when it does not
    std::vector<std::pair<std::string, std::string>> tickets; // team, tickets left
    std::string note;           // why the events end early, when they do; else empty
};

struct TPlayerRoundRecord {
    int32_t id = -1;
    std::string name;           // as the roster has the player in the round
    int team = 0;               // the table's team, else the last the events gave; 0 unknown
    // The server's table's fields in its order, and its counts read as numbers; nothing when
    // the player has no row there or the value is not a whole number.
    std::vector<std::pair<std::string, std::string>> tableFields;
    std::optional<int> score, kills, deaths, tks;
    // The replay's counts of the whole round: those of the player's state at the end (what the
    // stats command prints) and those of each state of the id that left before it, added up;
    // nothing when the replay held no state of the id.
    std::optional<TReplayCounts> replay;
};

// A place on the map in world coordinates: X and Z.
struct TWorldPlace {
    double x = 0, z = 0;
    bool operator==(const TWorldPlace&) const = default;
};

struct TKillRecord {
    double time = 0;
    bool teamKill = false;
    int32_t killerID = -1, victimID = -1;
    std::string killerName, victimName;
    std::string weapon, kit, vehicle; // the killer's, as the event or the killer's last events give them
    std::optional<TWorldPlace> killerPlace, victimPlace; // nothing where the log gives none
};

struct TRoundRecords {
    TRoundRecord round;
    std::vector<TPlayerRoundRecord> players;
    std::vector<TKillRecord> kills;
};

// The place an event's own position names: nothing for "(unknown)", X and Z of 0 or a missing
// text, even where the event list lends the event the player's previous place.
std::optional<TWorldPlace> OwnPlace(const std::string& location);

// The records of round list item `index` ("List index out of bounds (%d)" when none). Events
// that cannot be read end the round there, with the error's message as its note.
TRoundRecords RecordsOfRound(const TOpenedLog& log, int index);
// The same of a round element read elsewhere: `tree` the document it is in, `index` its place in
// the round list, `roster` the whole log's.
TRoundRecords RecordsOfRound(const TwexXMLTree& tree, const TwexXMLNode& round, int index, const TPlayerList& roster);
