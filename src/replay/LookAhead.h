#pragma once

#include <cstddef>
#include <vector>

class TEventInfoList;

// For every event of a round: where the same player's next event is, and where the next
// event is that names that player as its victim. Built once per event list, so applying an
// event never rescans the rest of the round.
class TEventLookAhead {
public:
    void Build(const TEventInfoList& events);
    void Clear();
    int Size() const { return static_cast<int>(FNextOfPlayer.size()); }
    // The index of the first later event with the same PlayerID, or -1.
    int NextOfPlayer(int index) const { return FNextOfPlayer[static_cast<size_t>(index)]; }
    // The index of the first later event whose VictimID is this event's PlayerID, or -1.
    int NextDeath(int index) const { return FNextDeath[static_cast<size_t>(index)]; }

private:
    std::vector<int> FNextOfPlayer;
    std::vector<int> FNextDeath;
};
