#include "platform/huge_page_heap.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

constexpr const char* HugePageTunable = "glibc.malloc.hugetlb";

} // namespace

std::optional<std::string> TunablesWithHugePages(const char* current) {
    const std::string setting = std::string(HugePageTunable) + "=1";
    if (current == nullptr || *current == '\0')
        return setting;
    if (std::strstr(current, HugePageTunable) != nullptr)
        return std::nullopt;
    return std::string(current) + ":" + setting;
}

void UseHugePageHeap(char** argv) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 35))
    const std::optional<std::string> tunables = TunablesWithHugePages(std::getenv("GLIBC_TUNABLES"));
    if (!tunables || argv == nullptr || argv[0] == nullptr)
        return;
    if (setenv("GLIBC_TUNABLES", tunables->c_str(), 1) != 0)
        return;
    execv("/proc/self/exe", argv);
    // Still here: the restart failed; go on with the default heap.
#else
    (void)argv;
#endif
}
