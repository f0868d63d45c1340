#include "platform/clock.h"

#include <chrono>

namespace {

std::chrono::steady_clock::time_point ProcessOrigin() {
    static const auto origin = std::chrono::steady_clock::now();
    return origin;
}

// Fix the origin before main() so the first reading is not the origin itself.
const auto kOriginAtStart = ProcessOrigin();

} // namespace

int64_t TSteadyClock::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 ProcessOrigin())
        .count();
}
