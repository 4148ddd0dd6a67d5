#include "log/PlayerList.h"

#include "base/Convert.h"

TPlayerInfo* TPlayerList::FindPlayer(int32_t playerID)
{
    // From the latest entry back; by index, as clang 14 cannot build a reversed view of the list.
    for (int i = Count(); i-- > 0;)
        if (TPlayerInfo* p = At(i); p->PlayerID == playerID)
            return p;
    TPlayerInfo* placeholder = AddPlayer();
    placeholder->PlayerID = playerID;
    placeholder->PlayerName = "Bot nr : " + IntToStr(playerID);
    return placeholder;
}

TPlayerInfo* TPlayerList::FindPlayerAt(int32_t playerID, double time)
{
    if (playerID == -1)
        return nullptr;
    for (int i = Count(); i-- > 0;)
        if (TPlayerInfo* p = At(i); p->PlayerID == playerID && p->JoinTime <= time && time <= p->LeaveTime)
            return p;
    return FindPlayer(playerID);
}

void CopyRoster(const TPlayerList& from, TPlayerList& to)
{
    for (const TPlayerInfo& player : from) {
        TPlayerInfo& copy = *to.AddPlayer();
        copy.JoinTime = player.JoinTime;
        copy.LeaveTime = player.LeaveTime;
        copy.PlayerID = player.PlayerID;
        copy.PlayerName = player.PlayerName;
        for (const TKillInfo& kill : player.Kills)
            *copy.Kills.Emplace() = kill;
        for (const TKillInfo& kill : player.KilledBy)
            *copy.KilledBy.Emplace() = kill;
    }
}
