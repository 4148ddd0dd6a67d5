#pragma once

#include <cstdint>

// Integer arithmetic that raises instead of wrapping, and the real-to-integer conversions
// the program relies on: Round sends halves to the even neighbour, Trunc cuts toward zero,
// and a result outside 32 bits is a range error.

int32_t RoundToInt32(long double value);
int32_t TruncToInt32(long double value);
int64_t TruncToInt64(long double value);

int32_t CheckedMul(int32_t a, int32_t b);
int32_t CheckedInt32(int64_t value); // range error outside 32 bits
int32_t ModTrunc(int32_t a, int32_t b); // sign follows the dividend

// Raise "Integer overflow" and "Division by zero".
[[noreturn]] void RaiseIntOverflow();
[[noreturn]] void RaiseDivByZero();

// Inline: the replay places every moving marker with them on every tick.
inline int32_t CheckedAdd(int32_t a, int32_t b)
{
    int32_t r;
    if (__builtin_add_overflow(a, b, &r))
        RaiseIntOverflow();
    return r;
}

inline int32_t CheckedSub(int32_t a, int32_t b)
{
    int32_t r;
    if (__builtin_sub_overflow(a, b, &r))
        RaiseIntOverflow();
    return r;
}

// Truncates toward zero.
inline int32_t DivTrunc(int32_t a, int32_t b)
{
    if (b == 0)
        RaiseDivByZero();
    if (a == INT32_MIN && b == -1)
        RaiseIntOverflow();
    return a / b;
}
