#pragma once
// The buffer queues between the graph's streaming threads and the consumer.
//
// TWaitSignal is the one mutex and condition variable a consumer sleeps on;
// every TManualResetEvent attached to it (the two queues and the graph's event
// handle) wakes it, so WaitForEither can wait for a buffer and for an
// end-of-stream notice at once.
//
// Threads: Push and BufferCB run on streaming threads; everything else on the
// one consumer thread. TBuffers' lock is re-entrant for the same thread.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

class TWaitSignal {
public:
    // Raises TException "CreateEvent failed!" when the primitives cannot be made.
    TWaitSignal();
    ~TWaitSignal();
    TWaitSignal(const TWaitSignal&) = delete;
    TWaitSignal& operator=(const TWaitSignal&) = delete;

    std::mutex& Mutex() { return *m_mutex; }
    std::condition_variable& Condition() { return *m_condition; }

private:
    std::mutex* m_mutex = nullptr;
    std::condition_variable* m_condition = nullptr;
};

// Signalled from Set until Reset; setting wakes every waiter of the signal.
class TManualResetEvent {
public:
    explicit TManualResetEvent(TWaitSignal& signal) : m_signal(signal) {}
    void Set();
    void Reset();
    bool IsSet();
    // Whether a consumer is blocked in WaitForEither on this event.
    bool HasWaiters();
    TWaitSignal& Signal() { return m_signal; }

private:
    friend int32_t WaitForEither(TManualResetEvent& first, TManualResetEvent& second);
    TWaitSignal& m_signal;
    bool m_isSet = false;  // guarded by the signal's mutex
    int32_t m_waiters = 0; // likewise
};

// Blocks until one of the two events (of the same signal) is set; returns 0
// for the first, 1 for the second, -1 when they belong to different signals.
int32_t WaitForEither(TManualResetEvent& first, TManualResetEvent& second);

// Blocks of deleted buffers kept for the next ones: a fresh picture-sized
// block per buffer costs page faults worth more than the copy.
class TBlockPool {
public:
    ~TBlockPool();
    // A block of at least bytes (from AllocBuffer when none is kept); nullptr
    // when there is no memory.
    uint8_t* Take(size_t bytes, size_t& capacity);
    void Give(uint8_t* block, size_t capacity);

private:
    std::mutex m_lock;
    std::vector<std::pair<uint8_t*, size_t>> m_blocks;
};

// Memory of the framework's that a buffer holds instead of a copy of its own;
// Release runs once, on whichever thread deletes the buffer.
class TBufferOwner {
public:
    virtual ~TBufferOwner() = default;
    virtual void Release() = 0;
};

// One delivered buffer; Data is nullptr when no memory was left for the copy.
struct TBuffer {
    double SampleTime = 0; // seconds, as the graph delivered it
    uint8_t* Data = nullptr;
    int32_t Length = 0;         // bytes
    TBlockPool* Pool = nullptr; // where Data goes back to, if anywhere
    size_t Capacity = 0;
    TBufferOwner* Owner = nullptr; // when set, Data is the owner's
    ~TBuffer();
};

class TBuffers {
public:
    // Raises TException "CreateEvent failed!" like TWaitSignal.
    explicit TBuffers(TWaitSignal& signal);
    ~TBuffers();
    TBuffers(const TBuffers&) = delete;
    TBuffers& operator=(const TBuffers&) = delete;

    void Push(TBuffer* buffer); // takes ownership, sets the event
    // Called after every pop and clear, outside the queue's lock, so a
    // producer holding back for room can look again at once.
    void SetOnTaken(std::function<void()> onTaken);
    // The oldest buffer, owned by the caller; resets the event when the queue
    // becomes empty. Call only after the event was seen set.
    TBuffer* Pop();
    void Clear();
    bool IsEmpty();
    size_t Count();
    void Lock() { m_lock.lock(); }
    void Unlock() { m_lock.unlock(); }
    TManualResetEvent& Event() { return m_event; }

private:
    std::recursive_mutex m_lock;
    std::deque<TBuffer*> m_buffers;
    TManualResetEvent m_event;
    std::function<void()> m_onTaken; // set before the graph runs
};

// The sample-grabber callback of one stream: every buffer handed to BufferCB
// is copied and queued. The component model's reference counting and
// interface queries have no counterpart here; the backend owns the object.
class TSampleGrabberCB {
public:
    explicit TSampleGrabberCB(TWaitSignal& signal) : m_buffers(signal) {}
    int32_t SampleCB(double, void*) { return 0; }
    // Streaming thread. Always returns 0; a buffer whose copy found no memory
    // is queued without data.
    int32_t BufferCB(double sampleTime, const uint8_t* data, int32_t length);
    // Streaming thread. Queues the framework's memory itself: the consumer's
    // copy into its frame buffer is then the only one. owner is released
    // when the buffer is deleted (also when it cannot be queued).
    int32_t BufferCBShared(double sampleTime, const uint8_t* data, int32_t length, TBufferOwner* owner);
    TBuffers& Buffers() { return m_buffers; }

private:
    std::mutex m_lock;
    TBlockPool m_pool; // before the queue, so queued buffers return their blocks first
    TBuffers m_buffers;
};
