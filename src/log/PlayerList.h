#pragma once

#include "base/OwningList.h"

#include <cstdint>
#include <string>

// Kill records kept with a roster entry. The roster makes the lists and frees them; nothing
// fills them yet, but a player's record carries them.
struct TKillInfo {
    int32_t PlayerID = -1;
    double Time = 0;
};

class TKillInfoList : public TOwningList<TKillInfo> {
public:
};

// One stay of one player on the server, from joining to leaving.
class TPlayerInfo {
public:
    double JoinTime = 0;
    double LeaveTime = 0;
    int32_t PlayerID = 0;
    std::string PlayerName;
    TKillInfoList Kills;
    TKillInfoList KilledBy;
};

// The roster of a whole log, in the order the stays were added.
class TPlayerList : public TOwningList<TPlayerInfo> {
public:
    TPlayerInfo* AddPlayer() { return Emplace(); }
    void ClearPlayers() { Clear(); }
    TPlayerInfo* GetPlayer(int index) const { return At(index); } // "List index out of bounds (%d)"
    // The latest stay with this id; without one, a new placeholder entry "Bot nr : <id>".
    TPlayerInfo* FindPlayer(int32_t playerID);
    // The latest stay with this id whose time span holds the moment (bounds included); else
    // as FindPlayer. Nothing for the id -1.
    TPlayerInfo* FindPlayerAt(int32_t playerID, double time);
};

// Copies every stay of `from`, in order, onto the end of `to`.
void CopyRoster(const TPlayerList& from, TPlayerList& to);
