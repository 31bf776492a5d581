#include "engine/KVFrameDuration.h"

#include <cmath>

int FrameDurationFromRate(double dFrameRate)
{
    // NaN fails the comparison as well, so it never reaches the division.
    if (!(dFrameRate > 0.0))
        return 0;
    const double dDuration = 10000000.0 / dFrameRate;
    // Rates below 1/214 fps would overflow an int; nobody asks for those,
    // but the conversion must stay defined.
    if (dDuration >= 2147483647.0)
        return 2147483647;
    return static_cast<int>(std::trunc(dDuration));
}
