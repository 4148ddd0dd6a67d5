#pragma once

// The replay clock's arithmetic. Times are compared in tenths of a second; every product is
// taken in extended precision, or a time stamp like 10.1 (whose double lies just below it)
// would fall into the wrong tenth.

#include <cstdint>
#include <string>

// t × 10, truncated toward zero.
int64_t TenthsTrunc(double seconds);
// t × 10, rounded half to even; a range error outside 32 bits.
int32_t TenthsRound(double seconds);
// Whole seconds, truncated toward zero (a range error outside 64 bits).
int64_t WholeSeconds(double seconds);

// Elapsed seconds as the time display shows them: minutes, ":", two-digit seconds.
std::string ElapsedCaption(int32_t seconds);

// A marker coordinate between the last place c and the next place g of a player, with
// `remaining` of `total` tenths still to go; rounded half to even. total must not be 0.
int32_t InterpolateCoordinate(int32_t g, int32_t c, int32_t total, int32_t remaining);
