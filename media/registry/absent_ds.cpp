#include "media/registry/backend_factories.h"

// Linked while the filter-graph backend is not built: the id creates nothing, so the
// registry lists and tries only what exists.
std::unique_ptr<TAVFile> CreateDSBackend() {
    return nullptr;
}
