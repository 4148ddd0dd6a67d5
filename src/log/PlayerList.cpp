#include "log/PlayerList.h"

#include "base/Convert.h"

const std::vector<int>* TPlayerList::PlacesOf(int32_t playerID)
{
    for (; FPlaced < Count(); ++FPlaced)
        FPlaces[At(FPlaced)->PlayerID].push_back(FPlaced);
    const auto found = FPlaces.find(playerID);
    return found == FPlaces.end() ? nullptr : &found->second;
}

TPlayerInfo* TPlayerList::FindPlayer(int32_t playerID)
{
    // From the latest entry back.
    if (const std::vector<int>* places = PlacesOf(playerID))
        for (auto at = places->rbegin(); at != places->rend(); ++at)
            if (TPlayerInfo* p = At(*at); p->PlayerID == playerID)
                return p;
    // A stay whose id was changed after it was filed is found by walking them all.
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
    if (const std::vector<int>* places = PlacesOf(playerID))
        for (auto at = places->rbegin(); at != places->rend(); ++at)
            if (TPlayerInfo* p = At(*at); p->PlayerID == playerID && p->JoinTime <= time && time <= p->LeaveTime)
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
