#pragma once
// Conversions between the slider's milliseconds and frames of a medium.
// Every conversion computes in floating point and rounds half away from zero
// (RoundToInt); results outside the 32-bit range saturate instead of
// wrapping, and a rate of 0 (a broken header) saturates too.

#include "media/av_file.h"

#include <cstdint>

// RoundToInt that saturates at the 32-bit limits; NaN gives 0.
int32_t RoundToIntSaturated(double value);

// RoundToInt(ms x Rate / Scale x 0.001): the frame shown at ms.
int32_t FramesFromMs(double ms, const TAVFile::TVideoFormat& format);
// RoundToInt(frames x 1000 x Scale / Rate): the millisecond frame `frames` starts at.
int32_t MsFromFrames(double frames, const TAVFile::TVideoFormat& format);
// The frame period RoundToInt(Scale x 1000 / Rate), in milliseconds.
int32_t FramePeriodMs(const TAVFile::TVideoFormat& format);

inline bool IsSameRate(const TAVFile::TVideoFormat& a, const TAVFile::TVideoFormat& b) {
    return a.Rate == b.Rate && a.Scale == b.Scale;
}
