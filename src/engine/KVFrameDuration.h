// Frame duration in 100-nanosecond units for a frame rate.
#pragma once

// 10000000 / rate, truncated toward zero (29.97 gives 333667, 25 gives
// 400000). A rate that is not positive gives 0.
int FrameDurationFromRate(double dFrameRate);
