#pragma once
// Clips shaped like the ones users bring (phones, capture cards, broadcast
// streams), not like our own writer's, with the number every frame of the
// frame grid must show. Every backend that reads them must agree.

#include "tests/support/media_clips.h"

#include <ostream>
#include <vector>

struct TGridCase {
    TClipSpec clip;
    // The number frame n must show, for every frame of the clip.
    std::vector<int> expected;
};

inline void PrintTo(const TGridCase& value, std::ostream* out) {
    *out << value.clip.label;
}

// Dropped frames, a variable rate, a negative start and audio ahead of the
// picture. Labels are unique, so ClipPath writes each clip once.
std::vector<TGridCase> GridCases();
