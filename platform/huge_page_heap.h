#pragma once
// Grows the C library's heap ahead of a bulk of small allocations and faults
// it in at once.
//
// A project of a million events allocates some 400 MB in small blocks while
// it opens, touching about 100,000 fresh 4 KB pages. Where page faults are
// dear (virtual machines, the usual place of our CI and of many analysis
// workstations) those faults can cost more than parsing the document.
// Growing the heap once by the expected amount and populating it in one
// call takes the faults out of the allocations that follow, which are carved
// from memory that is already there.
//
// The first reservation fixes glibc's mmap threshold at 32 MB and its trim
// threshold at 64 MB (where its own sliding thresholds end up), so that the
// reserved blocks come from the heap.
//
// The reservation is the top of the heap: blocks freed afterwards go back to
// the C library as usual, and what the bulk did not use is given back when
// the reservation ends.
//
// Threads: the reservation grows the heap of the calling thread's arena only
// when that is the main thread's; call it from the UI thread.

#include <cstddef>

// How much heap a document of `documentBytes` bytes needs while it opens
// (the events, their texts and parameter lists), at most a quarter of the
// machine's memory: 0 for documents too small to gain from a reservation.
std::size_t HeapBytesForDocument(std::size_t documentBytes);

class THeapReservation {
public:
    // Makes at least `bytes` free at the top of the heap, populated. Where
    // the kernel or the C library cannot do it, nothing happens and the
    // allocations take their faults as they come.
    explicit THeapReservation(std::size_t bytes);
    ~THeapReservation();
    THeapReservation(const THeapReservation&) = delete;
    THeapReservation& operator=(const THeapReservation&) = delete;

    // Bytes of the heap that were populated in advance (0 when nothing was
    // reserved).
    std::size_t PopulatedBytes() const { return m_populatedBytes; }

    // For measurements against the plain heap: false makes every later
    // reservation do nothing. Process-wide.
    static void SetEnabled(bool isEnabled);

private:
    std::size_t m_populatedBytes = 0;
};
