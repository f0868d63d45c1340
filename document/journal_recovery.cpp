#include "document/journal_recovery.h"

#include "document/journal_writer.h"
#include "document/session_journal.h"

#include <QDateTime>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// True while another editor has the journal open (it holds the lock).
bool IsInUse(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool isLocked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return isLocked;
}

bool StillItsBase(const TJournalBase& base) {
    if (base.ProjectPath.empty())
        return true;
    const TJournalBase now = ProjectIdentity(base.ProjectPath);
    return now.Size == base.Size && now.ModifiedNs == base.ModifiedNs;
}

} // namespace

std::vector<TPendingJournal> FindPendingJournals(const std::string& stateFolder) {
    std::vector<TPendingJournal> pending;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(SessionsFolder(stateFolder), error)) {
        const std::string marker = entry.path().string();
        if (entry.path().extension() != ".session")
            continue;
        std::string journalPath = ReadWhole(marker);
        while (!journalPath.empty() && journalPath.back() == '\n')
            journalPath.pop_back();
        if (journalPath.empty() || !std::filesystem::exists(journalPath, error)) {
            ::unlink(marker.c_str());
            continue;
        }
        if (IsInUse(journalPath))
            continue;
        auto contents = DecodeJournal(ReadWhole(journalPath));
        if (contents && !contents->Records.empty() && StillItsBase(contents->Base)) {
            pending.push_back({journalPath, marker, std::move(*contents)});
            continue;
        }
        SetJournalAside(journalPath);
        ::unlink(marker.c_str());
    }
    std::sort(pending.begin(), pending.end(), [](const TPendingJournal& a, const TPendingJournal& b) {
        return a.LastChangeMs() > b.LastChangeMs();
    });
    return pending;
}

QString RecoveryQuestion(const TPendingJournal& journal) {
    const QString time = QDateTime::fromMSecsSinceEpoch(journal.LastChangeMs())
                             .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    return QStringLiteral("The last session ended with %1 unsaved changes (%2). Recover them?")
        .arg(journal.ChangeCount())
        .arg(time);
}

std::size_t ReplayJournal(TProject& project, TJournalContents& contents) {
    std::size_t applied = 0;
    for (TJournalRecord& record : contents.Records) {
        try {
            switch (record.Step) {
            case TJournalStep::Change:
                project.Replay(std::move(*record.Change));
                break;
            case TJournalStep::Join:
                project.ReplayJoined(std::move(*record.Change));
                break;
            case TJournalStep::Undo:
                if (!project.Undo())
                    return applied;
                break;
            case TJournalStep::Redo:
                if (!project.Redo())
                    return applied;
                break;
            }
        } catch (const std::invalid_argument&) {
            return applied;
        }
        ++applied;
    }
    return applied;
}

bool MarkJournalCurrent(const TPendingJournal& journal) {
    if (journal.Contents.Version == JournalVersion)
        return true;
    const int fd = ::open(journal.JournalPath.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>((JournalVersion >> (8 * i)) & 0xFF);
    const bool isWritten = ::pwrite(fd, bytes, sizeof bytes, JournalVersionOffset) == sizeof bytes;
    ::close(fd);
    return isWritten;
}

void DeclineJournal(const TPendingJournal& journal) {
    SetJournalAside(journal.JournalPath);
    ::unlink(journal.MarkerPath.c_str());
}
