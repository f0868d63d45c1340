#include "playback/time_convert.h"

#include "base/round_to_int.h"

#include <cmath>
#include <limits>

int32_t RoundToIntSaturated(double value) {
    if (std::isnan(value))
        return 0;
    // The limits themselves round correctly; beyond them the cast is undefined.
    constexpr double lowest = std::numeric_limits<int32_t>::min();
    constexpr double highest = std::numeric_limits<int32_t>::max();
    if (value <= lowest)
        return std::numeric_limits<int32_t>::min();
    if (value >= highest)
        return std::numeric_limits<int32_t>::max();
    return RoundToInt(value);
}

int32_t FramesFromMs(double ms, const TAVFile::TVideoFormat& format) {
    return RoundToIntSaturated(ms * format.Rate / format.Scale * 0.001);
}

int32_t MsFromFrames(double frames, const TAVFile::TVideoFormat& format) {
    return RoundToIntSaturated(frames * 1000.0 * format.Scale / format.Rate);
}

int32_t FramePeriodMs(const TAVFile::TVideoFormat& format) {
    return RoundToIntSaturated(format.Scale * 1000.0 / format.Rate);
}
