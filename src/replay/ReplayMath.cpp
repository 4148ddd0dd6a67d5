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
    const long double t = total;
    const long double r = remaining;
    if (g < c)
        return RoundToInt32(g + (static_cast<long double>(CheckedSub(c, g)) / t) * r);
    if (g > c)
        return RoundToInt32(g - (static_cast<long double>(CheckedSub(g, c)) / t) * r);
    return c;
}
