#include "document/change_codec.h"
#include "document/journal_recovery.h"
#include "document/journal_writer.h"
#include "document/session_journal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Snapshot(const TProject& p) {
    std::string out = std::to_string(p.EventTypes.Count()) + "|";
    for (const auto& e : p.Events())
        out +=
            std::to_string(e->EventType) + "/" + std::to_string(e->Time) + "/" + e->Text.toStdString() + ",";
    return out;
}

// A session's journal, read back and replayed on an empty project, gives
// the project the session ended with; a journal cut anywhere inside its last
// frame replays every frame before it.
TEST(JournalTest, ReplayRestoresTheSessionAndACutLastFrameIsDropped) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("journal-test-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    TProject session;
    std::string journalPath;
    std::string beforeLast;
    {
        TSessionJournal journal(session, folder.string());
        journal.Begin(std::string());
        session.AddEventType(TEventType(QStringLiteral("Walk")));
        for (int32_t i = 0; i < 5; ++i)
            session.InsertEvent(std::make_unique<TEvent>(0, 100 - i, QString::number(i), TParameters()));
        session.Undo();
        session.OffsetEvents(-98);
        beforeLast = Snapshot(session);
        session.DeleteEvent(session.Events()[0]);
        journal.Saving();
    }
    const auto pending = FindPendingJournals(folder.string());
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].ChangeCount(), 9u);
    journalPath = pending[0].JournalPath;
    std::ifstream in(journalPath, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    auto replayed = [](std::string_view cut) {
        TProject project;
        auto contents = DecodeJournal(cut);
        if (!contents)
            return std::string("no journal");
        ReplayJournal(project, *contents);
        return Snapshot(project);
    };
    EXPECT_EQ(replayed(bytes), Snapshot(session));
    const std::size_t lastFrame = DecodeJournal(bytes)->CompleteBytes;
    ASSERT_EQ(lastFrame, bytes.size());
    std::size_t lastStart = 0;
    for (std::size_t cut = bytes.size() - 1; cut > 0; --cut) {
        auto contents = DecodeJournal(std::string_view(bytes).substr(0, cut));
        ASSERT_TRUE(contents);
        if (contents->Records.size() < 9u) {
            lastStart = contents->CompleteBytes;
            break;
        }
    }
    ASSERT_GT(lastStart, 0u);
    for (std::size_t cut = lastStart; cut < bytes.size(); ++cut)
        EXPECT_EQ(replayed(std::string_view(bytes).substr(0, cut)), beforeLast) << "cut at " << cut;
    std::filesystem::remove_all(folder);
}

// Media changes and joined steps came with version 2: they read back whole
// there, and a version 1 journal (which cannot hold them) still reads up to
// where such a record would start.
TEST(JournalTest, MediaRecordsRoundTripAndAnOldVersionStillReads) {
    std::string bytes = EncodeJournalHeader(TJournalBase{});
    const auto append = [&bytes](TJournalStep step, const TProjectChange& change) {
        std::string payload;
        BeginStepPayload(step, 7, payload);
        EncodeChange(change, payload);
        AppendFrame(payload, bytes);
    };
    TProjectChange type(TChangeKind::TypeAdd);
    type.Type = TEventType(QStringLiteral("Walk"));
    append(TJournalStep::Change, type);
    TProjectChange add(TChangeKind::MediumAdd);
    add.Medium.FileName = QStringLiteral("/rec/Kamera ü 1.avi");
    append(TJournalStep::Change, add);
    TProjectChange camera(TChangeKind::MediumCamera);
    camera.Index = 3;
    camera.Medium.Camera = -1;
    append(TJournalStep::Join, camera);
    TProjectChange offset(TChangeKind::MediumOffset);
    offset.Index = 2;
    offset.Medium.Offset = -2500;
    append(TJournalStep::Change, offset);

    const auto current = DecodeJournal(bytes);
    ASSERT_TRUE(current);
    ASSERT_EQ(current->Records.size(), 4u);
    EXPECT_FALSE(current->HadDamagedTail);
    EXPECT_EQ(current->Records[1].Change->Medium.FileName, add.Medium.FileName);
    EXPECT_EQ(current->Records[2].Step, TJournalStep::Join);
    EXPECT_EQ(current->Records[2].Change->Index, 3u);
    EXPECT_EQ(current->Records[2].Change->Medium.Camera, -1);
    EXPECT_EQ(current->Records[3].Change->Kind, TChangeKind::MediumOffset);
    EXPECT_EQ(current->Records[3].Change->Medium.Offset, -2500);

    bytes[JournalVersionOffset] = 1;
    auto old = DecodeJournal(bytes);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->Version, 1u);
    ASSERT_EQ(old->Records.size(), 1u);
    EXPECT_EQ(old->Records[0].Change->Type.Name, QStringLiteral("Walk"));
    EXPECT_TRUE(old->HadDamagedTail);

    // Continued after recovery, an old journal is marked current in place.
    const auto path = std::filesystem::temp_directory_path() / ("journal-v1-" + std::to_string(::getpid()));
    std::ofstream(path, std::ios::binary) << bytes;
    ASSERT_TRUE(MarkJournalCurrent(TPendingJournal{path.string(), std::string(), std::move(*old)}));
    std::ifstream in(path, std::ios::binary);
    const auto marked = DecodeJournal(std::string(std::istreambuf_iterator<char>(in), {}));
    std::filesystem::remove(path);
    ASSERT_TRUE(marked);
    EXPECT_EQ(marked->Version, JournalVersion);
    EXPECT_EQ(marked->Records.size(), 4u);

    bytes[JournalVersionOffset] = 3;
    EXPECT_FALSE(DecodeJournal(bytes));
}

// A disk that takes its time over a flush, and tells when one is under way.
struct TSlowDisk {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool IsStuck = true;
    int Entered = 0;
    int Error = 0; // errno to fail with; 0 for success

    int Flush(int) {
        std::unique_lock lock(Mutex);
        ++Entered;
        Changed.notify_all();
        Changed.wait(lock, [this] { return !IsStuck; });
        errno = Error;
        return Error ? -1 : 0;
    }
    bool WaitEntered() {
        std::unique_lock lock(Mutex);
        return Changed.wait_for(lock, std::chrono::seconds(10), [this] { return Entered > 0; });
    }
    void Release() {
        const std::lock_guard lock(Mutex);
        IsStuck = false;
        Changed.notify_all();
    }
};

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Changes made while a flush hangs on a busy disk reach the file all the
// same (a kill then loses nothing written), and so does the marker that
// leads start-up to them; Sync waits for the disk, and a failing flush is
// reported once.
TEST(JournalWriterTest, WritesGoOnWhileAFlushHangs) {
    for (const int error : {0, EIO}) {
        SCOPED_TRACE(error);
        const auto folder =
            std::filesystem::temp_directory_path() /
            ("journal-writer-test-" + std::to_string(::getpid()) + "-" + std::to_string(error));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        const std::string journal = (folder / "p.xml.journal").string();
        const std::string marker = (folder / "m.session").string();
        TSlowDisk disk;
        disk.Error = error;
        std::vector<std::string> errors;
        {
            TJournalWriter writer([&errors](const std::string& message) { errors.push_back(message); },
                                  [&disk](int fd) { return disk.Flush(fd); });
            writer.Start(journal, marker, "H");
            writer.Append("a");
            ASSERT_TRUE(disk.WaitEntered());
            writer.Append("b");
            bool isWritten = false;
            for (int i = 0; i < 1000 && !isWritten; ++i) {
                isWritten = FileText(journal) == "Hab";
                if (!isWritten)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            EXPECT_EQ(FileText(journal), "Hab");
            EXPECT_EQ(FileText(marker), journal + "\n");
            EXPECT_EQ(writer.SyncCount(), 0);
            disk.Release();
            writer.Sync();
            // The hung flush began before "ab" was written: Sync flushes again.
            EXPECT_EQ(writer.SyncCount(), error ? 0 : 2);
        }
        const std::vector<std::string> expected =
            error ? std::vector<std::string>{"Could not flush the journal " + journal + ": " +
                                             std::strerror(error)}
                  : std::vector<std::string>{};
        EXPECT_EQ(errors, expected);
        std::filesystem::remove_all(folder);
    }
}

} // namespace
