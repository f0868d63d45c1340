#pragma once
// What the interchange, document and settings fuzz targets share: their
// entry point's checks, a scratch folder for readers that want a file, and
// the seeds the replay tests and fuzz runs start from.

#include "model/project.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

inline void FuzzCheck(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// Whatever an import did before it stopped, the project stays consistent:
// events sorted by time, every event's type and every type's group valid.
void CheckProject(const TProject& project);

// A file in a per-process scratch folder (removed at exit) holding bytes.
std::string ScratchFile(std::string_view bytes);

// Defined by each fuzz target: imports one input, returns how many events
// (or entries) it produced. Throws nothing.
std::size_t FuzzOne(std::string_view input);
// Defined by each fuzz target: inputs every replay starts from; each must
// produce something.
std::vector<std::string> FuzzSeeds();
