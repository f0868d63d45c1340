#include "platform/fake_mm_timer.h"

#include <algorithm>

bool TFakeMMTimer::GetDevCaps(TTimerCaps& caps) const {
    if (!m_caps)
        return false;
    caps = *m_caps;
    return true;
}

bool TFakeMMTimer::BeginPeriod(uint32_t periodMs) {
    if (m_beginPeriodRefused || !m_caps || periodMs < m_caps->PeriodMinMs || periodMs > m_caps->PeriodMaxMs)
        return false;
    ++m_openPeriods[periodMs];
    return true;
}

bool TFakeMMTimer::EndPeriod(uint32_t periodMs) {
    const auto found = m_openPeriods.find(periodMs);
    if (found == m_openPeriods.end())
        return false;
    if (--found->second == 0)
        m_openPeriods.erase(found);
    return true;
}

TMMTimer::TTimerId TFakeMMTimer::SetOneShot(uint32_t delayMs, TCallback callback) {
    do {
        ++m_lastId;
    } while (m_lastId == 0 || m_pending.count(m_lastId) != 0);
    m_pending.emplace(m_lastId,
                      TEntry{m_clock.NowMs() + delayMs, delayMs, m_sequence++, std::move(callback)});
    return m_lastId;
}

bool TFakeMMTimer::Kill(TTimerId id) {
    return m_pending.erase(id) != 0;
}

std::map<TMMTimer::TTimerId, TFakeMMTimer::TEntry>::iterator TFakeMMTimer::Earliest() {
    auto earliest = m_pending.end();
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it)
        if (earliest == m_pending.end() || it->second.DueMs < earliest->second.DueMs ||
            (it->second.DueMs == earliest->second.DueMs && it->second.Sequence < earliest->second.Sequence))
            earliest = it;
    return earliest;
}

bool TFakeMMTimer::Fire(TTimerId id) {
    const auto found = m_pending.find(id);
    if (found == m_pending.end())
        return false;
    // Out of the table before the call, so the callback may re-arm or kill.
    const TCallback callback = std::move(found->second.Callback);
    m_pending.erase(found);
    callback();
    return true;
}

bool TFakeMMTimer::FireNext() {
    const auto earliest = Earliest();
    if (earliest == m_pending.end())
        return false;
    if (earliest->second.DueMs > m_clock.NowMs())
        m_clock.SetMs(earliest->second.DueMs);
    return Fire(earliest->first);
}

int TFakeMMTimer::AdvanceMs(int64_t deltaMs) {
    const int64_t targetMs = m_clock.NowMs() + deltaMs;
    int fired = 0;
    for (auto earliest = Earliest(); earliest != m_pending.end() && earliest->second.DueMs <= targetMs;
         earliest = Earliest()) {
        m_clock.SetMs(std::max(m_clock.NowMs(), earliest->second.DueMs));
        Fire(earliest->first);
        ++fired;
    }
    m_clock.SetMs(std::max(m_clock.NowMs(), targetMs));
    return fired;
}

std::vector<TFakeMMTimer::TPendingTimer> TFakeMMTimer::Pending() const {
    std::vector<std::pair<uint64_t, TPendingTimer>> ordered;
    for (const auto& [id, entry] : m_pending)
        ordered.push_back({entry.Sequence, TPendingTimer{id, entry.DueMs, entry.DelayMs}});
    std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
        return a.second.DueMs != b.second.DueMs ? a.second.DueMs < b.second.DueMs : a.first < b.first;
    });
    std::vector<TPendingTimer> result;
    for (const auto& [sequence, timer] : ordered)
        result.push_back(timer);
    return result;
}
