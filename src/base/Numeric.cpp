#include "base/Numeric.h"

#include "base/Errors.h"

#include <cmath>
#include <limits>

namespace {

// Banker's rounding done by hand, so it holds whatever the FPU rounding mode is.
long double RoundHalfEven(long double value)
{
    if (!std::isfinite(value))
        throw ERangeError();
    const long double lower = std::floor(value);
    const long double diff = value - lower;
    if (diff < 0.5L)
        return lower;
    if (diff > 0.5L)
        return lower + 1;
    return std::fmod(lower, 2.0L) == 0 ? lower : lower + 1;
}

template <typename Int>
Int ToIntChecked(long double whole)
{
    // Compare against the exact limits as long double; both bounds are representable.
    if (!(whole >= static_cast<long double>(std::numeric_limits<Int>::min()) &&
          whole <= static_cast<long double>(std::numeric_limits<Int>::max())))
        throw ERangeError();
    return static_cast<Int>(whole);
}

} // namespace

int32_t RoundToInt32(long double value)
{
#if defined(__x86_64__) || defined(__i386__)
    // Rounding to nearest, even on ties (the FPU's mode unless a program sets another), the
    // FPU's own conversion is banker's rounding: the replay rounds millions of coordinates.
    uint16_t control = 0;
    __asm__("fnstcw %0" : "=m"(control));
    if ((control & 0x0C00) == 0 && value > -2147483649.0L && value < 2147483648.0L) {
        int64_t whole = 0;
        __asm__("fistpll %0" : "=m"(whole) : "t"(value) : "st");
        return CheckedInt32(whole);
    }
#endif
    // The same rounding by way of a 64-bit integer, for the values that can fit: the replay
    // rounds millions of map coordinates and times, and floorl and fmodl are slow. Inside
    // this range the integer part and the fraction are exact. NaN fails both comparisons.
    if (value > -2147483649.0L && value < 2147483648.0L) {
        int64_t whole = static_cast<int64_t>(value); // toward zero
        long double lower = static_cast<long double>(whole);
        if (lower > value) {
            --whole;
            lower -= 1;
        }
        const long double fraction = value - lower;
        if (fraction > 0.5L || (fraction == 0.5L && (whole & 1) != 0))
            ++whole;
        return CheckedInt32(whole);
    }
    return ToIntChecked<int32_t>(RoundHalfEven(value));
}

int32_t TruncToInt32(long double value)
{
    if (!std::isfinite(value))
        throw ERangeError();
    return ToIntChecked<int32_t>(std::trunc(value));
}

int64_t TruncToInt64(long double value)
{
    if (!std::isfinite(value))
        throw ERangeError();
    return ToIntChecked<int64_t>(std::trunc(value));
}

void RaiseIntOverflow() { throw EIntOverflow(); }
void RaiseDivByZero() { throw EDivByZero(); }

int32_t CheckedMul(int32_t a, int32_t b)
{
    int32_t r;
    if (__builtin_mul_overflow(a, b, &r))
        throw EIntOverflow();
    return r;
}


int32_t CheckedInt32(int64_t value)
{
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        throw ERangeError();
    return static_cast<int32_t>(value);
}

int32_t ModTrunc(int32_t a, int32_t b)
{
    if (b == 0)
        throw EDivByZero();
    if (b == -1)
        return 0;
    return a % b;
}
