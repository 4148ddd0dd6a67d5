#pragma once

// The log's time stamps as the replay counts them: in tenths of a second, or whole seconds.
// Every product is taken in extended precision, or a time stamp like 10.1 (whose double lies
// just below it) would fall into the wrong tenth.

#include <cstdint>

// t × 10, truncated toward zero.
int64_t TenthsTrunc(double seconds);
// t × 10, rounded half to even; a range error outside 32 bits.
int32_t TenthsRound(double seconds);
// Whole seconds, truncated toward zero (a range error outside 64 bits).
int64_t WholeSeconds(double seconds);
