#include "log/PlayerList.h"

#include "base/Convert.h"
#include "base/Errors.h"

TPlayerInfo* TPlayerList::AddPlayer()
{
    FItems.push_back(std::make_unique<TPlayerInfo>());
    return FItems.back().get();
}

TPlayerInfo* TPlayerList::GetPlayer(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(index);
    return FItems[static_cast<size_t>(index)].get();
}

TPlayerInfo* TPlayerList::FindPlayer(int32_t playerID)
{
    for (size_t i = FItems.size(); i-- > 0;)
        if (FItems[i]->PlayerID == playerID)
            return FItems[i].get();
    TPlayerInfo* placeholder = AddPlayer();
    placeholder->PlayerID = playerID;
    placeholder->PlayerName = "Bot nr : " + IntToStr(playerID);
    return placeholder;
}

TPlayerInfo* TPlayerList::FindPlayerAt(int32_t playerID, double time)
{
    if (playerID == -1)
        return nullptr;
    for (size_t i = FItems.size(); i-- > 0;) {
        const TPlayerInfo& p = *FItems[i];
        if (p.PlayerID == playerID && p.JoinTime <= time && time <= p.LeaveTime)
            return FItems[i].get();
    }
    return FindPlayer(playerID);
}
