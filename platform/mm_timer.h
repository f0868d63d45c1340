#pragma once
// One-shot timers with a callback, as the playback engine uses them: arm a
// timer for the next frame, let its callback post a message to the window
// thread, re-arm from there. Plus the timer resolution bookkeeping the engine
// brackets a playback with (device capabilities, begin/end period).
//
// Threads: every member is called from one owner thread (the window thread),
// except that a callback may itself call Kill. Callbacks run on a timer
// thread (real timer) or on the thread that drives the fake; they must be
// short, must not throw (a throwing callback terminates the process) and
// must not destroy the timer object.

#include "platform/clock.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

struct TTimerCaps {
    uint32_t PeriodMinMs;
    uint32_t PeriodMaxMs;
};

class TMMTimer {
public:
    using TTimerId = uint32_t; // 0 is never a timer: it means "none"
    using TCallback = std::function<void()>;

    virtual ~TMMTimer() = default;

    // The finest and coarsest timer period the system supports; false when
    // it does not answer.
    virtual bool GetDevCaps(TTimerCaps& caps) const = 0;
    // Raises the timer resolution to periodMs for the caller until the
    // matching EndPeriod. False (nothing begun) when the period is outside
    // the capabilities.
    virtual bool BeginPeriod(uint32_t periodMs) = 0;
    // Ends one BeginPeriod of the same period; false when none is open.
    virtual bool EndPeriod(uint32_t periodMs) = 0;

    // Calls callback once, delayMs milliseconds from now. Returns the timer's
    // id, which is not handed out again while the timer is pending or its
    // callback is running.
    virtual TTimerId SetOneShot(uint32_t delayMs, TCallback callback) = 0;
    // Cancels a timer. When Kill returns, the callback of that timer is not
    // running and will never run (called from the timer's own callback, it
    // just returns). True when the timer was still pending and is now
    // cancelled; false when it had fired already or the id is unknown.
    virtual bool Kill(TTimerId id) = 0;

    // The clock the timer's delays are measured against.
    virtual const TClock& Clock() const = 0;
};

// Timers on one background thread over the steady clock.
class TThreadMMTimer final : public TMMTimer {
public:
    TThreadMMTimer();
    // Pending timers are dropped without firing; a running callback is waited
    // for.
    ~TThreadMMTimer() override;
    TThreadMMTimer(const TThreadMMTimer&) = delete;
    TThreadMMTimer& operator=(const TThreadMMTimer&) = delete;

    bool GetDevCaps(TTimerCaps& caps) const override;
    bool BeginPeriod(uint32_t periodMs) override;
    bool EndPeriod(uint32_t periodMs) override;
    TTimerId SetOneShot(uint32_t delayMs, TCallback callback) override;
    bool Kill(TTimerId id) override;
    const TClock& Clock() const override { return m_clock; }

    // Periods begun and not yet ended, for diagnostics and tests.
    size_t OpenPeriodCount() const;

private:
    using TTimePoint = std::chrono::steady_clock::time_point;
    struct TPending {
        TTimePoint Due;
        uint64_t Sequence; // arming order breaks ties between equal deadlines
        TCallback Callback;
    };

    void Run();
    TTimerId NextFreeId();

    TSteadyClock m_clock;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;    // new earliest deadline or shutdown
    std::condition_variable m_settled; // a callback has finished
    std::map<TTimerId, TPending> m_pending;
    TTimerId m_runningId = 0;
    TTimerId m_lastId = 0;
    uint64_t m_sequence = 0;
    std::map<uint32_t, int> m_openPeriods;
    bool m_stopping = false;
    std::thread m_thread;
};
