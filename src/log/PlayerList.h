#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Kill records kept with a roster entry. The roster makes the lists and frees them; nothing
// fills them yet, but a player's record carries them.
struct TKillInfo {
    int32_t PlayerID = -1;
    double Time = 0;
};

class TKillInfoList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    void Add(std::unique_ptr<TKillInfo> item) { FItems.push_back(std::move(item)); }
    void ClearItems() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TKillInfo>> FItems;
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
class TPlayerList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TPlayerInfo* AddPlayer();
    void ClearPlayers() { FItems.clear(); }
    TPlayerInfo* GetPlayer(int index) const; // "List index out of bounds (%d)"
    // The latest stay with this id; without one, a new placeholder entry "Bot nr : <id>".
    TPlayerInfo* FindPlayer(int32_t playerID);
    // The latest stay with this id whose time span holds the moment (bounds included); else
    // as FindPlayer. Nothing for the id -1.
    TPlayerInfo* FindPlayerAt(int32_t playerID, double time);

private:
    std::vector<std::unique_ptr<TPlayerInfo>> FItems;
};
