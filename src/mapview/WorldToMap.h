#pragma once

#include <cstdint>

// A world coordinate on the unzoomed map picture: Round(position / 1000 × value), the
// division first and both in extended precision, halves to even; a result outside 32 bits
// is a range error.
int32_t ScaleWorldToMap(int scalePosition, double value);
