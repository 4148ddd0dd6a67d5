#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TwexXMLTree;

// One stay of a player on the server, as the roster has it: the id the server gave and the
// moment of joining.
struct TPlayerStay {
    int32_t PlayerID = 0;
    double JoinTime = 0;

    bool operator==(const TPlayerStay&) const = default;
};

// One player across the names and ids of a log. Servers that write "playerKeyHash" events tie
// a player's stays together by the key's hash; without one (bots, some servers) the name a
// stay joined with is the identity.
struct TPlayerIdentity {
    std::string KeyHash; // 32 lower-case hex digits, or "" when the player has none
    std::vector<std::string> Names; // entities decoded as DecodeEntities does, in order of first use
    std::vector<TPlayerStay> Stays; // in the order of the log
};

// The players of a loaded log, in the order each first joined. Events that name no known stay,
// and key hashes that are not 32 hex digits, are passed over.
std::vector<TPlayerIdentity> PlayerIdentities(const TwexXMLTree& document);
