#include "replay/ReplayMath.h"

#include "base/Convert.h"
#include "base/Numeric.h"

#include <algorithm>
#include <limits>

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

TCoordinateMove::TCoordinateMove(int32_t g, int32_t c, int32_t total) : FG(g), FC(c), FStep(0)
{
    const long double t = total;
    if (g < c)
        FStep = static_cast<long double>(CheckedSub(c, g)) / t;
    else if (g > c)
        FStep = static_cast<long double>(CheckedSub(g, c)) / t;
}

int32_t TimeLineTickInterval(int32_t first, int32_t last)
{
    constexpr int64_t Step = 20;
    const int64_t span = std::max<int64_t>(0, int64_t(last) - int64_t(first));
    const int64_t steps = std::max<int64_t>(1, (span + Step * MaxTimeLineTicks - 1) / (Step * MaxTimeLineTicks));
    return static_cast<int32_t>(std::min<int64_t>(steps * Step, std::numeric_limits<int32_t>::max()));
}
