#pragma once
// Backs the C library's heap with transparent huge pages.
//
// A project of a million events allocates some 400 MB in small blocks while
// it opens, touching about 100,000 fresh 4 KB pages. Where page faults are
// dear (virtual machines, the usual place of our CI and of many analysis
// workstations) those faults cost more than parsing the document; 2 MB pages
// cut the time to open such a project by about a third. The C library reads
// its tunables only when a program starts, so the program starts itself
// again once with the tunable set.
//
// Threads: call first thing in main, before any other thread exists.

#include <optional>
#include <string>

// The GLIBC_TUNABLES value that adds the huge-page tunable to `current`
// (null: unset); nullopt when `current` already names that tunable, so the
// restart happens at most once.
std::optional<std::string> TunablesWithHugePages(const char* current);

// Restarts the program (same executable, same arguments) with the tunable
// set, unless it is set already. Returns when the program goes on in this
// process: the tunable was set, or the restart failed and the default heap
// stays. Does nothing where the C library has no such tunable.
void UseHugePageHeap(char** argv);
