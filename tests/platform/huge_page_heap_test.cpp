#include "platform/huge_page_heap.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

} // namespace

TEST(HeapReservationTest, ReservationsGrowWithTheDocumentUpToAQuarterOfTheMemory) {
    const auto memoryBytes =
        static_cast<std::size_t>(sysconf(_SC_PHYS_PAGES)) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    EXPECT_EQ(HeapBytesForDocument(1 << 20), 0u);
    EXPECT_EQ(HeapBytesForDocument(100u << 20), std::min<std::size_t>(200u << 20, memoryBytes / 4));
    EXPECT_EQ(HeapBytesForDocument(memoryBytes), memoryBytes / 4);
}

// The point of the reservation: small blocks allocated and written after it
// take (almost) no page faults of their own.
TEST(HeapReservationTest, BulkAllocationsAfterAReservationTakeFewFaults) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator replaces the C library's heap";
#endif
    constexpr std::size_t BulkBytes = 48u << 20;
    constexpr std::size_t BlockBytes = 96;
    const THeapReservation reservation(BulkBytes + (16u << 20));
    ASSERT_GE(reservation.PopulatedBytes(), BulkBytes);
    std::vector<void*> blocks;
    blocks.reserve(BulkBytes / BlockBytes);
    const long before = MinorFaults();
    for (std::size_t i = 0; i < BulkBytes / BlockBytes; ++i) {
        blocks.push_back(std::malloc(BlockBytes));
        std::memset(blocks.back(), 1, BlockBytes);
    }
    const long faults = MinorFaults() - before;
    for (void* block : blocks)
        std::free(block);
    // 12,288 fresh 4 KB pages were written; the vector's own storage was
    // faulted before counting.
    EXPECT_LT(faults, static_cast<long>(BulkBytes / 4096 / 20)) << faults;
}
