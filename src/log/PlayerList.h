#pragma once

#include "base/OwningList.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

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
    void Clear()
    {
        TOwningList::Clear();
        ForgetPlaces();
    }
    void Delete(int index)
    {
        TOwningList::Delete(index);
        ForgetPlaces();
    }
    void DeleteFirst(int count)
    {
        TOwningList::DeleteFirst(count);
        ForgetPlaces();
    }
    TPlayerInfo* GetPlayer(int index) const { return At(index); } // "List index out of bounds (%d)"
    // The latest stay with this id; without one, a new placeholder entry "Bot nr : <id>".
    TPlayerInfo* FindPlayer(int32_t playerID);
    // The latest stay with this id whose time span holds the moment (bounds included); else
    // as FindPlayer. Nothing for the id -1.
    TPlayerInfo* FindPlayerAt(int32_t playerID, double time);

private:
    // The places of the stays with the id, in order; nothing when none has it.
    const std::vector<int>* PlacesOf(int32_t playerID);
    void ForgetPlaces()
    {
        FPlaces.clear();
        FPlaced = 0;
    }
    // A replay looks a player up for every state it makes: walking the whole roster each time
    // made a round of thousands of players quadratic. The stays are filed by id as lookups
    // come, each once, when its id is long set (a walk of the log sets it as it adds the stay).
    std::unordered_map<int32_t, std::vector<int>> FPlaces;
    int FPlaced = 0; // the stays filed so far, from the first
};

// Copies every stay of `from`, in order, onto the end of `to`.
void CopyRoster(const TPlayerList& from, TPlayerList& to);
