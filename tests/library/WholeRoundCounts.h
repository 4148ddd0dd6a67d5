#pragma once

// What the library stores as the replay's counts of a round: the states' at the end and those
// that left before, added up by id.

#include "log/EventInfo.h"
#include "replay/RoundStats.h"
#include "replay/ReplaySession.h"

#include <unordered_map>

inline std::unordered_map<int32_t, TReplayCounts> WholeRoundCounts(TEventInfoList& events, const TPlayerList& roster)
{
    std::unordered_map<int32_t, TReplayCounts> counts, left;
    ReplayWholeRound(
        events, roster, [&counts](const TReplaySession& session) { counts = CountsOf(session.PlayerStates()); }, &left);
    for (const auto& [id, gone] : left) {
        counts[id].kills += gone.kills;
        counts[id].deaths += gone.deaths;
        counts[id].tks += gone.tks;
    }
    return counts;
}
