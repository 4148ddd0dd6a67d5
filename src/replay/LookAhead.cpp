#include "replay/LookAhead.h"

#include "log/EventInfo.h"
#include "replay/ReplayMath.h"

#include <cstdint>
#include <exception>
#include <unordered_map>

void TEventLookAhead::Build(const TEventInfoList& events)
{
    const int count = events.Count();
    FNextOfPlayer.assign(static_cast<size_t>(count), -1);
    FNextDeath.assign(static_cast<size_t>(count), -1);
    FDueTenths.assign(static_cast<size_t>(count), Raises);
    // From the end backwards: the maps hold the nearest later event of each id.
    std::unordered_map<int32_t, int> nextWithPlayer;
    std::unordered_map<int32_t, int> nextWithVictim;
    for (int i = count; i-- > 0;) {
        const TEventInfo& e = *events.GetEvent(i);
        const size_t at = static_cast<size_t>(i);
        if (const auto it = nextWithPlayer.find(e.PlayerID); it != nextWithPlayer.end())
            FNextOfPlayer[at] = it->second;
        if (const auto it = nextWithVictim.find(e.PlayerID); it != nextWithVictim.end())
            FNextDeath[at] = it->second;
        try {
            FDueTenths[at] = TenthsTrunc(e.Timestamp);
        } catch (const std::exception&) {
            // Left to raise when the clock gets to it.
        }
        nextWithPlayer[e.PlayerID] = i;
        nextWithVictim[e.VictimID] = i;
    }
}

void TEventLookAhead::Clear()
{
    FNextOfPlayer.clear();
    FNextDeath.clear();
    FDueTenths.clear();
}
