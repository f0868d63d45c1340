#include "media/bmp/bmp_file.h"
#include "media/registry/backend_factories.h"

std::unique_ptr<TAVFile> CreateBMPBackend() {
    return std::make_unique<TBMPFile>();
}
