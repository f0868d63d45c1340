#pragma once
// The unit of every stored time of a project: event and title times, type
// and secondary-key offsets. Frames are frames of the project's first medium.
// The values are those the project document stores.

#include <cstdint>

enum class TTimeFormat : int32_t {
    Milliseconds = 0,
    Frames = 1,
};
