#include "platform/huge_page_heap.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Where glibc's own sliding threshold ends up once a program has freed a
// large block; fixed here because the blocks below must come from the heap,
// not from mappings of their own.
constexpr std::size_t MmapThreshold = 32u << 20;
constexpr std::size_t TrimThreshold = 2 * MmapThreshold;
constexpr std::size_t BlockBytes = MmapThreshold - (1u << 20);
constexpr std::size_t SmallestReservation = 16u << 20;

bool SetThresholdsOnce() {
    static const bool isSet = mallopt(M_MMAP_THRESHOLD, static_cast<int>(MmapThreshold)) == 1 &&
                              mallopt(M_TRIM_THRESHOLD, static_cast<int>(TrimThreshold)) == 1;
    return isSet;
}

// Faults the block in with one call; returns the bytes populated. The first
// page holds the heap's bookkeeping and was touched already. (Advising 2 MB
// pages as well made Open a third slower on our virtual machines: the kernel
// then compacts memory to find them.)
std::size_t Populate(void* block, std::size_t bytes) {
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const auto end = begin + bytes;
    const auto pageBytes = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t pageBegin = (begin + pageBytes - 1) & ~(pageBytes - 1);
    const std::uintptr_t pageEnd = end & ~(pageBytes - 1);
    if (pageEnd <= pageBegin ||
        madvise(reinterpret_cast<void*>(pageBegin), pageEnd - pageBegin, MADV_POPULATE_WRITE) != 0)
        return 0;
    return pageEnd - pageBegin;
}

// Blocks of the last reservation still held: the newest sits below the top
// of the heap and keeps the freed ones from merging into it (which would
// hand them back to the kernel at once).
struct TReservationState {
    void* Cap = nullptr;
    int Depth = 0;
    bool IsEnabled = true;
};

TReservationState& State() {
    static TReservationState state;
    return state;
}

} // namespace

std::size_t HeapBytesForDocument(std::size_t documentBytes) {
    // Measured: a document opens into about 2.2 times its size. A file that
    // is large for other reasons (or refused half-way) must not take the
    // machine's memory before a byte is parsed: at most a quarter of it.
    const auto memoryBytes =
        static_cast<std::size_t>(sysconf(_SC_PHYS_PAGES)) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t bytes = std::min(documentBytes * 2, memoryBytes / 4);
    return bytes < SmallestReservation ? 0 : bytes;
}

THeapReservation::THeapReservation(std::size_t bytes) {
    TReservationState& state = State();
    ++state.Depth;
    if (bytes == 0 || state.Depth > 1 || !state.IsEnabled || !SetThresholdsOnce())
        return;
    std::vector<void*> blocks;
    for (std::size_t reserved = 0; reserved < bytes + BlockBytes; reserved += BlockBytes) {
        void* block = std::malloc(BlockBytes);
        if (block == nullptr)
            break;
        blocks.push_back(block);
    }
    if (blocks.empty())
        return;
    state.Cap = blocks.back();
    blocks.pop_back();
    for (void* block : blocks) {
        m_populatedBytes += Populate(block, BlockBytes);
        std::free(block);
    }
}

void THeapReservation::SetEnabled(bool isEnabled) {
    State().IsEnabled = isEnabled;
}

THeapReservation::~THeapReservation() {
    TReservationState& state = State();
    if (--state.Depth > 0)
        return;
    if (state.Cap != nullptr) {
        std::free(state.Cap);
        state.Cap = nullptr;
        // What the bulk left unused goes back to the kernel.
        malloc_trim(0);
    }
}
