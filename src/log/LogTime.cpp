#include "log/LogTime.h"

#include "base/Numeric.h"

int64_t TenthsTrunc(double seconds) { return TruncToInt64(static_cast<long double>(seconds) * 10); }

int32_t TenthsRound(double seconds) { return RoundToInt32(static_cast<long double>(seconds) * 10); }

int64_t WholeSeconds(double seconds) { return TruncToInt64(seconds); }
