#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

class TEventInfoList;

// For every event of a round: where the same player's next event is, where the next event is
// that names that player as its victim, and the tenth of a second it falls due in. Built once
// per event list, so applying an event never rescans the rest of the round, and the clock
// asks each event for its time only once.
class TEventLookAhead {
public:
    void Build(const TEventInfoList& events);
    void Clear();
    int Size() const { return static_cast<int>(FNextOfPlayer.size()); }
    // The index of the first later event with the same PlayerID, or -1.
    int NextOfPlayer(int index) const { return FNextOfPlayer[static_cast<size_t>(index)]; }
    // The index of the first later event whose VictimID is this event's PlayerID, or -1.
    int NextDeath(int index) const { return FNextDeath[static_cast<size_t>(index)]; }
    // TenthsTrunc of the event's timestamp, or Raises when that raises an error.
    static constexpr int64_t Raises = std::numeric_limits<int64_t>::min();
    int64_t DueTenths(int index) const { return FDueTenths[static_cast<size_t>(index)]; }

private:
    std::vector<int> FNextOfPlayer;
    std::vector<int> FNextDeath;
    std::vector<int64_t> FDueTenths;
};
