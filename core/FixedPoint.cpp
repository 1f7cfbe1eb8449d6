#include "FixedPoint.h"

#include <cmath>

extern "C" int32_t GlissorSpeedToFixed(float speed) {
    const float product = speed * 65536.0f;
    // Converting a float outside the target's range is undefined, so the
    // range is checked first; NaN fails both comparisons.
    const float lowest = -2147483648.0f;  // -2^31, exactly representable
    const float beyond = 2147483648.0f;   // 2^31, the first value out of range
    if (!(product >= lowest && product < beyond)) return INT32_MIN;
    return static_cast<int32_t>(product);  // truncates toward zero
}
