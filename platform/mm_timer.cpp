#include "platform/mm_timer.h"

namespace {

// The range a desktop system's multimedia timer reports; the thread timer
// honours any delay, so these only bound what BeginPeriod accepts.
constexpr TTimerCaps kThreadTimerCaps{1, 1000000};

void RunCallback(const TMMTimer::TCallback& callback) noexcept {
    callback();
}

} // namespace

TThreadMMTimer::TThreadMMTimer() : m_thread([this] { Run(); }) {}

TThreadMMTimer::~TThreadMMTimer() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_pending.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

bool TThreadMMTimer::GetDevCaps(TTimerCaps& caps) const {
    caps = kThreadTimerCaps;
    return true;
}

bool TThreadMMTimer::BeginPeriod(uint32_t periodMs) {
    if (periodMs < kThreadTimerCaps.PeriodMinMs || periodMs > kThreadTimerCaps.PeriodMaxMs)
        return false;
    std::lock_guard lock(m_mutex);
    ++m_openPeriods[periodMs];
    return true;
}

bool TThreadMMTimer::EndPeriod(uint32_t periodMs) {
    std::lock_guard lock(m_mutex);
    const auto found = m_openPeriods.find(periodMs);
    if (found == m_openPeriods.end())
        return false;
    if (--found->second == 0)
        m_openPeriods.erase(found);
    return true;
}

size_t TThreadMMTimer::OpenPeriodCount() const {
    std::lock_guard lock(m_mutex);
    size_t count = 0;
    for (const auto& [period, opened] : m_openPeriods)
        count += static_cast<size_t>(opened);
    return count;
}

TMMTimer::TTimerId TThreadMMTimer::NextFreeId() {
    // After 2^32 timers the counter wraps; skip 0 and every id still in use.
    do {
        ++m_lastId;
    } while (m_lastId == 0 || m_lastId == m_runningId || m_pending.count(m_lastId) != 0);
    return m_lastId;
}

TMMTimer::TTimerId TThreadMMTimer::SetOneShot(uint32_t delayMs, TCallback callback) {
    const TTimePoint due = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
    TTimerId id = 0;
    {
        std::lock_guard lock(m_mutex);
        id = NextFreeId();
        m_pending.emplace(id, TPending{due, m_sequence++, std::move(callback)});
    }
    m_wake.notify_all();
    return id;
}

bool TThreadMMTimer::Kill(TTimerId id) {
    if (id == 0)
        return false;
    std::unique_lock lock(m_mutex);
    if (m_pending.erase(id) != 0)
        return true;
    // A callback that kills its own timer must not wait for itself.
    if (std::this_thread::get_id() != m_thread.get_id())
        m_settled.wait(lock, [&] { return m_runningId != id; });
    return false;
}

void TThreadMMTimer::Run() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        auto next = m_pending.end();
        for (auto it = m_pending.begin(); it != m_pending.end(); ++it)
            if (next == m_pending.end() || it->second.Due < next->second.Due ||
                (it->second.Due == next->second.Due && it->second.Sequence < next->second.Sequence))
                next = it;
        if (next == m_pending.end()) {
            m_wake.wait(lock);
            continue;
        }
        if (std::chrono::steady_clock::now() < next->second.Due) {
            // A copy: wait_until reads the deadline again after waking, and a
            // Kill meanwhile may have erased the entry holding it. Woken early
            // by a new timer, a kill or shutdown, the loop looks again.
            const TTimePoint due = next->second.Due;
            m_wake.wait_until(lock, due);
            continue;
        }
        const TCallback callback = std::move(next->second.Callback);
        m_runningId = next->first;
        m_pending.erase(next);
        lock.unlock();
        RunCallback(callback);
        lock.lock();
        m_runningId = 0;
        m_settled.notify_all();
    }
}
