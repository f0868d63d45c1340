#pragma once
// The millisecond process clock the playback engine measures time with.
// Readings are steady (never jump with the wall clock) and count from the
// first use of the clock in the process.
//
// Threads: NowMs() may be called from any thread on either implementation;
// TFakeClock's setters belong to the test's thread.

#include <atomic>
#include <cstdint>

class TClock {
public:
    virtual ~TClock() = default;
    // Milliseconds since the clock's origin.
    virtual int64_t NowMs() const = 0;
};

class TSteadyClock final : public TClock {
public:
    int64_t NowMs() const override;
};

// A clock that moves only when told to.
class TFakeClock final : public TClock {
public:
    explicit TFakeClock(int64_t startMs = 0) : m_nowMs(startMs) {}
    int64_t NowMs() const override { return m_nowMs.load(); }
    void SetMs(int64_t nowMs) { m_nowMs.store(nowMs); }
    void AdvanceMs(int64_t deltaMs) { m_nowMs.fetch_add(deltaMs); }

private:
    std::atomic<int64_t> m_nowMs;
};
