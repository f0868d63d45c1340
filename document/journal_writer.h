#pragma once
// Appends journal bytes to a file on a thread of its own, so the UI thread
// never waits on the disk while changes are made. Bytes handed over are
// written at once (they survive the process being killed from then on) and
// flushed to the disk at most once a second. The flushes run on a second
// thread: a flush can take seconds on a busy disk, and bytes arriving
// meanwhile are written all the same.
//
// The file and its marker (a small file naming the journal, where start-up
// looks for journals) are created with the first bytes, not before: a
// session without changes leaves nothing behind. A file already at the
// journal's path (an earlier session's) is renamed aside first, never
// overwritten. While the writer has the journal open it holds an exclusive
// lock on it, so a second editor starting meanwhile leaves it alone.
//
// Threads: every member is called from one thread (the UI thread); errors
// are reported through the callback on the writer's or the flusher's thread.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class TJournalWriter {
public:
    // Flushes a file's data to the disk (fdatasync); returns 0 or -1 with
    // errno set. Tests put a slow disk in its place.
    using TFlushFile = std::function<int(int fd)>;

    // onError receives "Could not write the journal <path>: <reason>" on the
    // writer's thread (or "Could not flush ..." on the flusher's); null for
    // none. flushFile: null for fdatasync.
    explicit TJournalWriter(std::function<void(const std::string&)> onError = {}, TFlushFile flushFile = {});
    // Writes what is pending, flushes it to the disk and closes; the journal
    // stays (the session ended without a save).
    ~TJournalWriter();
    TJournalWriter(const TJournalWriter&) = delete;
    TJournalWriter& operator=(const TJournalWriter&) = delete;

    // A new journal: header is written first once bytes arrive.
    void Start(const std::string& journalPath, const std::string& markerPath, std::string header);
    // An existing journal, read back at start-up: cut to its complete bytes
    // and appended to.
    void Continue(const std::string& journalPath, const std::string& markerPath, std::size_t completeBytes);
    // Hands bytes over; never touches the disk.
    void Append(std::string bytes);
    // Waits until everything handed over is written and flushed to the disk.
    void Sync();
    // Closes the journal and leaves it in place (with its marker).
    void Detach();
    // Closes the journal and removes it and its marker: its changes are
    // saved in the project.
    void End();

    // For tests and benchmarks: how often the journal's data was flushed.
    int64_t SyncCount() const;

private:
    enum class TOp { Start, Continue, Append, Sync, Detach, End };
    struct TCommand {
        TOp Op;
        std::string Bytes;  // Append: the bytes; Start: the header
        std::string Path;   // Start, Continue
        std::string Marker; // Start, Continue
        std::size_t At = 0; // Continue
    };
    // A file to flush: Fd is the flusher's own descriptor (closed after).
    struct TFlush {
        int Fd;
        std::string Path;
        bool IsJournal;
    };
    void Run();
    void Post(TCommand command);
    void Execute(TCommand& command);
    void Open();
    void WriteMarker();
    void WriteAll(const std::string& bytes);
    // Hands the journal's bytes written so far to the flusher; waitForDisk:
    // returns once every flush handed over is done.
    void Flush(bool waitForDisk);
    void FlushPath(const std::string& path, int openFlags);
    void Close();
    void Fail(const std::string& what);
    void RunFlusher();

    std::function<void(const std::string&)> m_onError;
    TFlushFile m_flushFile;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<TCommand> m_queue;
    uint64_t m_posted = 0;
    uint64_t m_finished = 0;
    bool m_stopping = false;

    // Writer thread only.
    std::string m_path;
    std::string m_markerPath;
    std::string m_header;
    std::size_t m_continueAt = 0;
    bool m_isContinuing = false;
    int m_fd = -1;
    bool m_hasUnsynced = false;
    bool m_hasFailed = false;
    int64_t m_lastSyncMs = 0;

    // The flusher's queue.
    std::mutex m_flushMutex;
    std::condition_variable m_flushWake;
    std::condition_variable m_flushDone;
    std::deque<TFlush> m_flushes;
    bool m_isFlushing = false;
    bool m_flusherStopping = false;
    std::atomic<int64_t> m_syncCount{0};
    std::atomic<bool> m_hasFlushFailed{false};

    std::thread m_flusher;
    std::thread m_thread;
};

// Renames a journal aside with the date: "<name>.YYYYMMDD-HHMMSS.journal"
// (with "-2", "-3", ... when taken). Returns the new path; empty when the
// rename failed. Any thread.
std::string SetJournalAside(const std::string& journalPath);
