#include "playback/seek_worker.h"

#include <exception>

TSeekWorker::TSeekWorker(std::function<void()> notify)
    : m_notify(std::move(notify)), m_thread([this] { Run(); }) {}

TSeekWorker::~TSeekWorker() {
    {
        const std::lock_guard lock(m_mutex);
        m_isQuitting = true;
        m_waiting.reset();
        ++m_latestTicket;
    }
    m_wake.notify_one();
    m_thread.join();
}

uint64_t TSeekWorker::Post(TJob job) {
    uint64_t ticket = 0;
    {
        const std::lock_guard lock(m_mutex);
        ticket = ++m_latestTicket;
        m_waiting = std::move(job);
        m_waitingTicket = ticket;
    }
    m_wake.notify_one();
    return ticket;
}

void TSeekWorker::Invalidate() {
    if (IsWorkerThread())
        return;
    const std::lock_guard lock(m_mutex);
    ++m_latestTicket;
    m_waiting.reset();
    m_finished.reset();
    m_idle.notify_all();
}

void TSeekWorker::WaitIdle() {
    if (IsWorkerThread())
        return;
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_isRunning && !m_waiting; });
}

std::optional<TPreviewPicture> TSeekWorker::TakeCurrent() {
    const std::lock_guard lock(m_mutex);
    std::optional<TPreviewPicture> picture;
    if (m_finished && m_finishedTicket == m_latestTicket)
        picture = std::move(m_finished);
    m_finished.reset();
    return picture;
}

bool TSeekWorker::IsBusy() const {
    const std::lock_guard lock(m_mutex);
    return m_isRunning || m_waiting || m_finished;
}

void TSeekWorker::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_isQuitting || m_waiting; });
        if (m_isQuitting)
            return;
        TJob job = std::move(*m_waiting);
        m_waiting.reset();
        const uint64_t ticket = m_waitingTicket;
        m_isRunning = true;
        lock.unlock();

        std::optional<TPreviewPicture> picture;
        try {
            picture = job([this, ticket] { return m_latestTicket.load() != ticket; });
        } catch (const std::exception&) {
            // The medium keeps its previous picture; the error must not end
            // the thread (and with it the program).
        }
        job = nullptr; // what it captured goes on this thread, not under the lock

        lock.lock();
        const bool isCurrent = picture && ticket == m_latestTicket;
        if (isCurrent) {
            m_finished = std::move(picture);
            m_finishedTicket = ticket;
            if (m_notify) {
                lock.unlock();
                m_notify();
                lock.lock();
            }
        }
        // Idle only once the message is out: the owner may go right after.
        m_isRunning = false;
        m_idle.notify_all();
    }
}
