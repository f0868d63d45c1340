#pragma once
// A timer for tests: nothing fires by itself. The test moves the fake clock
// forward (callbacks due by then fire on the test's thread, in deadline
// order, the clock standing at each deadline while its callback runs) or
// fires a timer by id. Capabilities and a refusing BeginPeriod can be set up
// to reach the engine's failure paths.

#include "platform/clock.h"
#include "platform/mm_timer.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

class TFakeMMTimer final : public TMMTimer {
public:
    struct TPendingTimer {
        TTimerId Id;
        int64_t DueMs; // on Clock()
        uint32_t DelayMs;
    };

    explicit TFakeMMTimer(int64_t startMs = 0) : m_clock(startMs) {}

    bool GetDevCaps(TTimerCaps& caps) const override;
    bool BeginPeriod(uint32_t periodMs) override;
    bool EndPeriod(uint32_t periodMs) override;
    TTimerId SetOneShot(uint32_t delayMs, TCallback callback) override;
    bool Kill(TTimerId id) override;
    const TClock& Clock() const override { return m_clock; }

    // Test set-up.
    void SetDevCaps(std::optional<TTimerCaps> caps) { m_caps = caps; } // nullopt: no answer
    void SetBeginPeriodRefused(bool refused) { m_beginPeriodRefused = refused; }
    TFakeClock& MutableClock() { return m_clock; }

    // Moves the clock forward by deltaMs, firing every timer that falls due,
    // including timers armed by callbacks on the way. Returns how many fired.
    int AdvanceMs(int64_t deltaMs);
    // Fires the earliest pending timer now, whatever its deadline, moving the
    // clock to that deadline if it lies ahead. False when none is pending.
    bool FireNext();
    // Fires one timer now without touching the clock. False when the id is
    // not pending.
    bool Fire(TTimerId id);

    // Pending timers in deadline order.
    std::vector<TPendingTimer> Pending() const;
    // BeginPeriod calls not yet matched by EndPeriod, by period.
    const std::map<uint32_t, int>& OpenPeriods() const { return m_openPeriods; }

private:
    struct TEntry {
        int64_t DueMs;
        uint32_t DelayMs;
        uint64_t Sequence;
        TCallback Callback;
    };
    std::map<TTimerId, TEntry>::iterator Earliest();

    TFakeClock m_clock;
    std::optional<TTimerCaps> m_caps = TTimerCaps{1, 1000000};
    bool m_beginPeriodRefused = false;
    std::map<uint32_t, int> m_openPeriods;
    std::map<TTimerId, TEntry> m_pending;
    TTimerId m_lastId = 0;
    uint64_t m_sequence = 0;
};
