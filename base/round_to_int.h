#pragma once
// Rounding used by every frame/time conversion: half away from zero.

#include <cstdint>

inline int32_t RoundToInt(double x) {
    const auto t = static_cast<int32_t>(x); // truncation toward zero
    if (x >= 0)
        return (x - t >= 0.5) ? t + 1 : t;
    return (t - x >= 0.5) ? t - 1 : t;
}
