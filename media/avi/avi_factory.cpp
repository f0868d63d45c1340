#include "media/avi/avi_file.h"
#include "media/registry/backend_factories.h"

std::unique_ptr<TAVFile> CreateAVIBackend() {
    return std::make_unique<TAVIFile>();
}
