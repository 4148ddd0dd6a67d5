#include "replay/ReplayMath.h"

#include "base/Convert.h"
#include "base/Numeric.h"

int64_t TenthsTrunc(double seconds) { return TruncToInt64(static_cast<long double>(seconds) * 10); }

int32_t TenthsRound(double seconds) { return RoundToInt32(static_cast<long double>(seconds) * 10); }

int64_t WholeSeconds(double seconds) { return TruncToInt64(seconds); }

std::string ElapsedCaption(int32_t seconds)
{
    const int32_t minutes = DivTrunc(seconds, 60);
    const int32_t rest = ModTrunc(seconds, 60);
    // The seconds take at least two digits, a minus sign before them.
    std::string digits = IntToStr(rest < 0 ? -rest : rest);
    if (digits.size() < 2)
        digits.insert(0, "0");
    return IntToStr(minutes) + ":" + (rest < 0 ? "-" : "") + digits;
}

int32_t InterpolateCoordinate(int32_t g, int32_t c, int32_t total, int32_t remaining)
{
    return TCoordinateMove(g, c, total).At(remaining);
}

TCoordinateMove::TCoordinateMove(int32_t g, int32_t c, int32_t total) : FG(g), FC(c), FStep(0)
{
    const long double t = total;
    if (g < c)
        FStep = static_cast<long double>(CheckedSub(c, g)) / t;
    else if (g > c)
        FStep = static_cast<long double>(CheckedSub(g, c)) / t;
}


