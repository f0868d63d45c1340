#include "media/ffmpeg/ff_file.h"
#include "media/registry/backend_factories.h"

std::unique_ptr<TAVFile> CreateFFBackend() {
    return std::make_unique<TFFFile>();
}
