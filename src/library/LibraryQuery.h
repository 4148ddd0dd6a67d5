#pragma once

// What the Library window and `ornwick library` ask of a match library: its rounds with a
// filter, its players, one player's page and where on a map players died or killed. Every value
// a user types is bound, never spliced into the statement.

#include "library/RoundRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TLibraryDatabase;

// A name as the library finds it in any letter case: Latin-1 letters lower-cased, byte by byte
// (A-Z, and 0xC0 to 0xDE but 0xD7). What "identity_names.folded" holds for each name.
std::string FoldedName(const std::string& name);

// Whether the text is a day as the filters take it: "YYYY-MM-DD", a real date.
bool IsLibraryDate(const std::string& text);

// Empty fields do not filter. `player` matches any of a player's names, whole, any letter case.
// A `since` or `until` that is no day raises EBaseError.
struct TRoundFilter {
    std::string map, player, mod;
    std::string since, until; // "YYYY-MM-DD", both days included
};

struct TLibraryRound {
    int64_t id = 0;       // the round's row
    std::string file;     // the log's path
    int round = 0;        // its place in the log's round list, 0 first
    std::string started;  // "YYYY-MM-DD HH:MM"
    std::string server, map, mod, mode;
    int64_t length = 0;   // seconds
    int players = 0;
    std::string winner;
    std::string tickets;  // as stored: "team:tickets" pairs, ", " between them
    bool missing = false; // the file is gone
    bool datedByName = true; // false: the file's name gives no date, its modification time stands in
};

std::vector<TLibraryRound> LibraryRounds(TLibraryDatabase& library, const TRoundFilter& filter);

struct TLibraryPlayer {
    int64_t identity = 0;
    std::string keyhash;            // "" for a player known by name only
    std::vector<std::string> names; // every name used, the most used first
    int rounds = 0;
    int64_t seconds = 0;            // time played
    int score = 0, kills = 0, deaths = 0, tks = 0;
    double ratio = 0;               // kills / deaths; kills when no deaths
    std::string kit, vehicle, weapon; // the ones the player killed with most
    std::string lastSeen;           // "YYYY-MM-DD HH:MM" of the latest round
};

// Every player, most kills first; `name` (when given) keeps those with a name holding it.
std::vector<TLibraryPlayer> LibraryPlayers(TLibraryDatabase& library, const std::string& name = "");

struct TLibraryKill {
    int64_t round = 0;    // the round's row
    std::string file;
    int place = 0;        // the round's place in its log
    double time = 0;      // the event's time stamp
    double roundStart = 0; // the round's first time stamp
    bool teamKill = false;
    std::string killer, victim, weapon, kit, vehicle;
    std::optional<TWorldPlace> killerPlace, victimPlace;
};

struct TPlayerPage {
    TLibraryPlayer player;
    std::vector<TLibraryRound> rounds;
    std::vector<TLibraryKill> kills, deaths;
    std::vector<std::pair<std::string, int>> byKit, byVehicle, byWeapon; // kills, most first
};

// The page of the player with this name (any of their names, any letter case; the one with
// the most rounds when several share it); nothing when the library has none.
std::optional<TPlayerPage> PlayerPage(TLibraryDatabase& library, const std::string& name);

enum class THeatKind { Deaths, Kills };

struct THeatFilter {
    std::string map;
    THeatKind kind = THeatKind::Deaths;
    std::optional<int> team;   // the victim's team for deaths, the killer's for kills
    std::string weapon, player; // empty: all
};

// The places of the deaths (where the victim fell) or kills (where the killer stood) on a map.
std::vector<TWorldPlace> HeatPlaces(TLibraryDatabase& library, const THeatFilter& filter);
