#pragma once

#include "base/OwningList.h"

#include <cstdint>
#include <string>
#include <string_view>

class TwexXMLNode;

// One event of the selected round: its kind, time, the parameters the replay reads, and the
// acting player's position in world coordinates.
class TEventInfo {
public:
    int32_t VictimID = -1;
    int32_t PlayerID = -1;
    std::string Vehicle;
    int32_t Team = 0;
    std::string Weapon;
    std::string PlayerLocation;
    std::string ScoreType;
    std::string Kit;
    std::string EventName;
    double PosY = 0;
    double PosX = 0;
    double PosZ = 0;
    double Timestamp = 0;
    std::string VehiclePos;
    int32_t PcoID = -1;

    // The grid square of the position in units of 250: "x:z".
    std::string GetGridString() const;
    // Whether the record has a position: not all three components are 0.
    bool HasCords() const;
    // Whether the position is a place on the map. Positions are read without their signs, so
    // a negative component is the -1 of a missing number, and X and Z of 0 is no position.
    bool HasPlace() const { return PosX >= 0 && PosZ >= 0 && (PosX != 0 || PosZ != 0); }
};

// The events in log order. DeleteFirst(count) frees the records before index count.
class TEventInfoList : public TOwningList<TEventInfo> {
public:
    TEventInfo* AddEvent() { return Emplace(); }
    void ClearEvents() { Clear(); }
    TEventInfo* GetEvent(int index) const { return At(index); } // "List index out of bounds (%d)"
};

// Keeps only the digits and the decimal separator; "-1" when nothing is left.
std::string CleanNumber(std::string_view text);

struct TVectorParts {
    double First = 0, Second = 0, Third = 0;
};
// Splits "x/y/z" into three numbers; a missing or empty part reads as -1. Signs are dropped.
TVectorParts ParseVector(std::string_view text);

// A time stamp or other log number written with "." as decimal point.
double LogNumber(std::string_view text);

// Fills the list from a round's "bf:event" children and keeps only the events after the
// round's last "roundInit". An event without a position takes the position of the same
// player's previous event. A conversion error leaves the records made so far, untrimmed.
void BuildEventList(const TwexXMLNode& round, TEventInfoList& events);
