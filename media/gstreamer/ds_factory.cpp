#include "media/gstreamer/ds_file.h"
#include "media/registry/backend_factories.h"

std::unique_ptr<TAVFile> CreateDSBackend() {
    return std::make_unique<TDSFile>();
}
