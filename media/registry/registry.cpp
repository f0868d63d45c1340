#include "media/registry/registry.h"

#include "media/registry/backend_factories.h"

#include <array>

namespace {

constexpr int32_t SlotCount = 10;
constexpr int32_t EmptySlot = -1;

// The one process-wide state of the media library. Until the first position
// is read or set, the order is the identity without the slots holding it.
struct TBackendOrder {
    std::array<int32_t, SlotCount> Slots{};
    bool IsInitialised = false;
};
TBackendOrder BackendOrder;

void InitialiseBackendOrder() {
    if (!BackendOrder.IsInitialised)
        ResetBackendOrder();
}

int32_t BackendAt(int32_t slot) {
    return BackendOrder.IsInitialised ? BackendOrder.Slots[slot] : slot;
}

int32_t FindSlot(int32_t id) {
    for (int32_t slot = 0; slot < SlotCount; ++slot)
        if (BackendOrder.Slots[slot] == id)
            return slot;
    return SlotCount;
}

} // namespace

std::unique_ptr<TAVFile> CreateBackend(int32_t id) {
    switch (id) {
    case 0:
        return CreateAVIBackend();
    case 1:
        return CreateDSBackend();
    case 2:
        return CreateFFBackend();
    case 3:
        return CreateBMPBackend();
    default:
        return nullptr;
    }
}

TAVFileDeviceList ListBackends() {
    TAVFileDeviceList devices;
    for (int32_t id = 0; id < SlotCount; ++id)
        if (const auto backend = CreateBackend(id))
            devices.push_back(TAVFileDevice{id, backend->GetDescription()});
    return devices;
}

std::unique_ptr<TAVFile> OpenMedia(const std::string& fileName, int32_t streams) {
    return OpenMedia(fileName, streams, CreateBackend);
}

// The first backend in the order that opens at least one stream wins, but when
// both streams were asked for, an audio-only result waits while the rest are
// tried for one that also has video.
std::unique_ptr<TAVFile> OpenMedia(const std::string& fileName, int32_t streams,
                                   const TBackendFactory& factory) {
    const int32_t bothStreams = TAVFile::StreamVideo | TAVFile::StreamAudio;
    std::unique_ptr<TAVFile> fallback;
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        const int32_t id = BackendAt(slot);
        if (id == EmptySlot)
            continue;
        std::unique_ptr<TAVFile> file = factory(id);
        if (!file)
            continue;
        file->Open(fileName, TAVFile::ModeRead, streams, false);
        if (file->GetMode() != TAVFile::ModeRead || file->GetStreams() == 0)
            continue;
        if (streams == bothStreams && !(file->GetStreams() & TAVFile::StreamVideo)) {
            if (!fallback)
                fallback = std::move(file);
            continue;
        }
        return file;
    }
    return fallback;
}

int32_t GetBackendPosition(int32_t id) {
    InitialiseBackendOrder();
    const int32_t slot = FindSlot(id);
    return slot == SlotCount ? -1 : slot;
}

int32_t SetBackendPosition(int32_t id, int32_t position) {
    InitialiseBackendOrder();
    const int32_t former = FindSlot(id);
    if (former != SlotCount)
        BackendOrder.Slots[former] = EmptySlot;
    if (position < 0)
        return former;
    // The id found at position leaves the order until it is placed again.
    if (position < SlotCount)
        BackendOrder.Slots[position] = id;
    return position;
}

void ResetBackendOrder() {
    for (int32_t slot = 0; slot < SlotCount; ++slot)
        BackendOrder.Slots[slot] = slot;
    BackendOrder.IsInitialised = true;
}

void UninitialiseBackendOrder() {
    BackendOrder.IsInitialised = false;
}

void SetMediaLibraryLogging(TMediaLogging logging) {
    SetFFLogging(logging != TMediaLogging::Quiet, logging == TMediaLogging::Verbose);
}
