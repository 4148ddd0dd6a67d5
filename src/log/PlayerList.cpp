#include "log/PlayerList.h"

#include "base/Convert.h"

#include <ranges>

TPlayerInfo* TPlayerList::FindPlayer(int32_t playerID)
{
    for (TPlayerInfo& p : std::views::reverse(*this))
        if (p.PlayerID == playerID)
            return &p;
    TPlayerInfo* placeholder = AddPlayer();
    placeholder->PlayerID = playerID;
    placeholder->PlayerName = "Bot nr : " + IntToStr(playerID);
    return placeholder;
}

TPlayerInfo* TPlayerList::FindPlayerAt(int32_t playerID, double time)
{
    if (playerID == -1)
        return nullptr;
    for (TPlayerInfo& p : std::views::reverse(*this))
        if (p.PlayerID == playerID && p.JoinTime <= time && time <= p.LeaveTime)
            return &p;
    return FindPlayer(playerID);
}
