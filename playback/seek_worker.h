#pragma once
// TSeekWorker: the one thread that positions one medium for the window
// thread, so that several media seek at once and the window thread need not
// wait for a picture while the user scrubs.
//
// At most one job waits: a job posted while another waits replaces it (the
// overtaken one never runs). A running job is told through its isOvertaken
// check that a newer job or Invalidate came, and gives up at its next cheap
// point. Each post gets a ticket, counting up; the picture a job leaves is
// kept only while its ticket is the newest, so a picture that anything
// overtook never reaches the window.
//
// Threads: every member function is for the window thread, except that a job
// (and the notify callback, after each job that left a picture) runs on the
// worker's own thread. WaitIdle and Invalidate called from inside a job do
// nothing. A job must catch its own media errors; any other exception is
// swallowed so that nothing leaves the thread.
//
// Ownership: whoever owns the medium owns its worker and destroys the worker
// first; the destructor abandons the waiting job and joins the running one.

#include "playback/preview_picture.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class TSeekWorker {
public:
    using TOvertakenCheck = std::function<bool()>;
    // Runs on the worker thread; returns the picture to hand back, or
    // nothing (a job that only positions the medium, or one given up).
    using TJob = std::function<std::optional<TPreviewPicture>(const TOvertakenCheck& isOvertaken)>;

    // notify: called on the worker thread when a picture is ready for
    // TakeCurrent; it must only post (a window message), never block.
    explicit TSeekWorker(std::function<void()> notify);
    ~TSeekWorker();
    TSeekWorker(const TSeekWorker&) = delete;
    TSeekWorker& operator=(const TSeekWorker&) = delete;

    // Queues job, dropping the one waiting, and returns at once with its
    // ticket.
    uint64_t Post(TJob job);
    // Drops the waiting job and any picture not yet taken, and overtakes the
    // running job: nothing posted so far will show.
    void Invalidate();
    // Blocks until no job runs or waits: the medium is the caller's again.
    void WaitIdle();
    // The picture of the newest job, once; nothing when it is not ready or
    // something overtook it.
    std::optional<TPreviewPicture> TakeCurrent();
    // A job runs or waits, or a picture waits to be taken.
    bool IsBusy() const;

private:
    void Run();
    bool IsWorkerThread() const { return std::this_thread::get_id() == m_thread.get_id(); }

    std::function<void()> m_notify;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::optional<TJob> m_waiting;
    uint64_t m_waitingTicket = 0;
    bool m_isRunning = false;
    bool m_isQuitting = false;
    std::optional<TPreviewPicture> m_finished;
    uint64_t m_finishedTicket = 0;
    // Read by running jobs without the lock.
    std::atomic<uint64_t> m_latestTicket{0};
    std::thread m_thread; // last: starts once everything above exists
};
