#pragma once
// One factory per backend id. Each backend target defines its own; for a
// backend that is not built, the registry links a definition returning nullptr.

#include "media/av_file.h"

#include <memory>

std::unique_ptr<TAVFile> CreateAVIBackend(); // id 0
std::unique_ptr<TAVFile> CreateDSBackend();  // id 1
std::unique_ptr<TAVFile> CreateFFBackend();  // id 2
// What the FFmpeg libraries may print on stderr (a no-op when not built).
void SetFFLogging(bool errors, bool verbose);
std::unique_ptr<TAVFile> CreateBMPBackend(); // id 3
