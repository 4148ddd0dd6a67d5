#pragma once

// The replay clock's arithmetic. Times are compared in tenths of a second; every product is
// taken in extended precision, or a time stamp like 10.1 (whose double lies just below it)
// would fall into the wrong tenth.

#include "base/Numeric.h"
#include "log/LogTime.h"

#include <cstdint>
#include <string>


// Elapsed seconds as the time display shows them: minutes, ":", two-digit seconds.
std::string ElapsedCaption(int32_t seconds);

// A marker coordinate between the last place c and the next place g of a player: At gives it
// with `remaining` of `total` tenths still to go, rounded half to even; total must not be 0.
// The division is done once: a marker moves between the same two places for many ticks, less
// than a pixel a tick mostly.
class TCoordinateMove {
public:
    TCoordinateMove(int32_t g, int32_t c, int32_t total);
    int32_t At(int32_t remaining)
    {
        if (FG == FC)
            return FC;
        const long double r = remaining;
        const long double value = FG < FC ? FG + FStep * r : FG - FStep * r;
        if (FHasLast) {
            // Strictly within half a pixel of a whole number, a value rounds to it.
            const long double last = FLast;
            if (last - 0.5L < value && value < last + 0.5L)
                return FLast;
            if (last + 0.5L < value && value < last + 1.5L && FLast < INT32_MAX)
                return ++FLast;
            if (last - 1.5L < value && value < last - 0.5L && FLast > INT32_MIN)
                return --FLast;
        }
        FLast = RoundToInt32(value);
        FHasLast = true;
        return FLast;
    }

private:
    int32_t FG;
    int32_t FC;
    long double FStep; // the distance a tenth, towards c
    // The last result: a value strictly within half a pixel of it or of a neighbour rounds to
    // that, which comparisons tell sooner than a rounding.
    int32_t FLast = 0;
    bool FHasLast = false;
};

// The time line's tick interval in tenths for a round over [first, last] tenths: a tick every
// 2 s, fewer on a long round, whose every tick would be drawn at each repaint (at most
// MaxTimeLineTicks ticks, in whole steps of 2 s).
inline constexpr int32_t MaxTimeLineTicks = 300;
int32_t TimeLineTickInterval(int32_t first, int32_t last);
