#include "document/journal_writer.h"

#include "platform/replace_file.h"
#include "platform/test_trace.h"

#include <QDateTime>
#include <QString>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr int64_t SyncIntervalMs = 1000;

std::string Reason() {
    return std::strerror(errno);
}

} // namespace

std::string SetJournalAside(const std::string& journalPath) {
    std::string stem = journalPath;
    const std::string suffix = ".journal";
    if (stem.size() > suffix.size() && stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) == 0)
        stem.resize(stem.size() - suffix.size());
    const std::string date =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
    for (int attempt = 1; attempt < 1000; ++attempt) {
        std::string aside = stem + "." + date + (attempt > 1 ? "-" + std::to_string(attempt) : "") + suffix;
        struct stat info {};
        if (::lstat(aside.c_str(), &info) == 0)
            continue;
        // link + unlink rather than rename: never replaces a file that
        // appeared meanwhile.
        if (::link(journalPath.c_str(), aside.c_str()) != 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        ::unlink(journalPath.c_str());
        return aside;
    }
    return {};
}

TJournalWriter::TJournalWriter(std::function<void(const std::string&)> onError, TFlushFile flushFile)
    : m_onError(std::move(onError)), m_flushFile(flushFile ? std::move(flushFile) : TFlushFile(::fdatasync)),
      m_flusher([this] { RunFlusher(); }), m_thread([this] { Run(); }) {}

TJournalWriter::~TJournalWriter() {
    Post({TOp::Detach, {}, {}, {}, 0});
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
    // The flusher goes through what it was handed before it ends.
    {
        const std::lock_guard lock(m_flushMutex);
        m_flusherStopping = true;
    }
    m_flushWake.notify_one();
    m_flusher.join();
}

void TJournalWriter::Post(TCommand command) {
    bool wasIdle = false;
    {
        const std::lock_guard lock(m_mutex);
        wasIdle = m_queue.empty();
        m_queue.push_back(std::move(command));
        ++m_posted;
    }
    // The writer only sleeps with an empty queue: waking it costs a system
    // call, and while it is busy it finds the new bytes by itself.
    if (wasIdle)
        m_wake.notify_one();
}

void TJournalWriter::Start(const std::string& journalPath, const std::string& markerPath,
                           std::string header) {
    Post({TOp::Start, std::move(header), journalPath, markerPath, 0});
}

void TJournalWriter::Continue(const std::string& journalPath, const std::string& markerPath,
                              std::size_t completeBytes) {
    Post({TOp::Continue, {}, journalPath, markerPath, completeBytes});
}

void TJournalWriter::Append(std::string bytes) {
    {
        // Consecutive bytes join the last queued command: one write for
        // many changes when the writer is behind.
        const std::lock_guard lock(m_mutex);
        if (!m_queue.empty() && m_queue.back().Op == TOp::Append) {
            m_queue.back().Bytes += bytes;
            return;
        }
    }
    Post({TOp::Append, std::move(bytes), {}, {}, 0});
}

void TJournalWriter::Sync() {
    Post({TOp::Sync, {}, {}, {}, 0});
    std::unique_lock lock(m_mutex);
    const uint64_t target = m_posted;
    m_done.wait(lock, [&] { return m_finished >= target; });
}

void TJournalWriter::Detach() {
    Post({TOp::Detach, {}, {}, {}, 0});
}

void TJournalWriter::End() {
    Post({TOp::End, {}, {}, {}, 0});
}

int64_t TJournalWriter::SyncCount() const {
    return m_syncCount.load();
}

void TJournalWriter::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_queue.empty()) {
            if (m_stopping)
                break;
            if (m_hasUnsynced) {
                const int64_t due = m_lastSyncMs + SyncIntervalMs;
                m_wake.wait_for(lock, std::chrono::milliseconds(std::max<int64_t>(0, due - SteadyMs())));
                if (m_queue.empty() && SteadyMs() >= due) {
                    lock.unlock();
                    Flush(false);
                    lock.lock();
                }
            } else {
                m_wake.wait(lock);
            }
            continue;
        }
        TCommand command = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        Execute(command);
        if (m_hasUnsynced && SteadyMs() - m_lastSyncMs >= SyncIntervalMs)
            Flush(false);
        lock.lock();
        ++m_finished;
        m_done.notify_all();
    }
}

void TJournalWriter::Execute(TCommand& command) {
    switch (command.Op) {
    case TOp::Start:
        Close();
        m_path = std::move(command.Path);
        m_markerPath = std::move(command.Marker);
        m_header = std::move(command.Bytes);
        m_isContinuing = false;
        m_hasFailed = false;
        break;
    case TOp::Continue:
        Close();
        m_path = std::move(command.Path);
        m_markerPath = std::move(command.Marker);
        m_header.clear();
        m_continueAt = command.At;
        m_isContinuing = true;
        m_hasFailed = false;
        Open();
        break;
    case TOp::Append:
        if (m_path.empty() || m_hasFailed)
            break;
        if (m_fd < 0)
            Open();
        WriteAll(command.Bytes);
        break;
    case TOp::Sync:
        Flush(true);
        break;
    case TOp::Detach:
        Close();
        m_path.clear();
        break;
    case TOp::End:
        // Its changes are in the project now: nothing to flush.
        m_hasUnsynced = false;
        Close();
        if (!m_path.empty()) {
            ::unlink(m_path.c_str());
            ::unlink(m_markerPath.c_str());
        }
        m_path.clear();
        break;
    }
}

void TJournalWriter::Open() {
    if (m_path.empty())
        return;
    if (!m_isContinuing) {
        struct stat info {};
        if (::lstat(m_path.c_str(), &info) == 0)
            SetJournalAside(m_path);
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    } else {
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_CLOEXEC);
    }
    if (m_fd < 0)
        return Fail("open");
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0)
        return Fail("lock");
    if (m_isContinuing) {
        if (::ftruncate(m_fd, static_cast<off_t>(m_continueAt)) != 0 || ::lseek(m_fd, 0, SEEK_END) < 0)
            return Fail("truncate");
        m_isContinuing = false;
    } else {
        WriteAll(m_header);
    }
    WriteMarker();
}

// Written and moved into place without waiting for the disk, which would
// hold back the first change's bytes behind it: once renamed the marker
// survives the process; the flusher makes it durable with the journal.
void TJournalWriter::WriteMarker() {
    if (m_fd < 0)
        return;
    const std::string temp = TempFileName(m_markerPath);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    const std::string text = m_path + '\n';
    const bool isWritten =
        fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0)
        ::close(fd);
    if (!isWritten || ::rename(temp.c_str(), m_markerPath.c_str()) != 0) {
        ::unlink(temp.c_str());
        return Fail("write the marker of");
    }
    Flush(false);
    FlushPath(m_markerPath, O_RDONLY);
    const auto slash = m_markerPath.find_last_of('/');
    if (slash != std::string::npos)
        FlushPath(m_markerPath.substr(0, slash), O_RDONLY | O_DIRECTORY);
}

void TJournalWriter::WriteAll(const std::string& bytes) {
    if (m_fd < 0)
        return;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Fail("write");
        }
        done += static_cast<std::size_t>(written);
    }
    m_hasUnsynced = true;
}

void TJournalWriter::Flush(bool waitForDisk) {
    std::unique_lock lock(m_flushMutex);
    if (m_fd >= 0 && m_hasUnsynced) {
        // A flush of this journal still waiting to start covers these bytes
        // too; one flush running and one waiting is the most there is.
        const bool isCovered =
            !m_flushes.empty() && m_flushes.back().IsJournal && m_flushes.back().Path == m_path;
        if (!isCovered) {
            // A descriptor of its own: the writer may close its one meanwhile.
            const int copy = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
            if (copy < 0) {
                lock.unlock();
                return Fail("flush");
            }
            m_flushes.push_back({copy, m_path, true});
            m_flushWake.notify_one();
        }
    }
    m_hasUnsynced = false;
    m_lastSyncMs = SteadyMs();
    if (waitForDisk)
        m_flushDone.wait(lock, [this] { return m_flushes.empty() && !m_isFlushing; });
}

void TJournalWriter::FlushPath(const std::string& path, int openFlags) {
    const int fd = ::open(path.c_str(), openFlags | O_CLOEXEC);
    if (fd < 0)
        return;
    const std::lock_guard lock(m_flushMutex);
    m_flushes.push_back({fd, path, false});
    m_flushWake.notify_one();
}

void TJournalWriter::RunFlusher() {
    std::unique_lock lock(m_flushMutex);
    for (;;) {
        m_flushWake.wait(lock, [this] { return !m_flushes.empty() || m_flusherStopping; });
        if (m_flushes.empty())
            break;
        TFlush flush = std::move(m_flushes.front());
        m_flushes.pop_front();
        m_isFlushing = true;
        lock.unlock();
        if (flush.IsJournal)
            TraceTestPoint("journal-sync");
        const bool isFlushed = m_flushFile(flush.Fd) == 0;
        const std::string reason = isFlushed ? std::string() : Reason();
        if (flush.IsJournal)
            TraceTestPoint("journal-synced");
        ::close(flush.Fd);
        if (isFlushed && flush.IsJournal)
            ++m_syncCount;
        // One report per writer: the disk that failed once fails again.
        if (!isFlushed && !m_hasFlushFailed.exchange(true) && m_onError)
            m_onError("Could not flush the journal " + flush.Path + ": " + reason);
        lock.lock();
        m_isFlushing = false;
        m_flushDone.notify_all();
    }
}

void TJournalWriter::Close() {
    if (m_fd < 0)
        return;
    Flush(false);
    // The flusher's descriptor shares the lock: dropped here, so this
    // process can open the journal again at once.
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}

void TJournalWriter::Fail(const std::string& what) {
    const std::string message = "Could not " + what + " the journal " + m_path + ": " + Reason();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_hasUnsynced = false;
    // One report per journal; the session goes on without it.
    if (!m_hasFailed && m_onError)
        m_onError(message);
    m_hasFailed = true;
}
