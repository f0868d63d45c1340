#include "document/session_journal.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

std::string StateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && *state == '/')
        return std::string(state) + "/scenemark";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.local/state/scenemark";
}

std::string SessionsFolder(const std::string& stateFolder) {
    return stateFolder + "/sessions";
}

std::string JournalPathFor(const std::string& projectPath) {
    return projectPath + ".journal";
}

std::string MarkerPathFor(const std::string& stateFolder, const std::string& journalPath) {
    // FNV-1a: a stable name per journal path, so a journal reopened later
    // finds its own marker again.
    uint64_t hash = 1469598103934665603ull;
    for (const char byte : journalPath) {
        hash ^= static_cast<uint8_t>(byte);
        hash *= 1099511628211ull;
    }
    char name[32];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
    return SessionsFolder(stateFolder) + "/" + name + ".session";
}

TJournalBase ProjectIdentity(const std::string& projectPath) {
    TJournalBase base;
    base.ProjectPath = projectPath;
    struct stat info {};
    if (!projectPath.empty() && ::stat(projectPath.c_str(), &info) == 0) {
        base.ModifiedNs = int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
        base.Size = info.st_size;
    }
    return base;
}

int64_t WallClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TSessionJournal::TSessionJournal(TProject& project, std::string stateFolder,
                                 std::function<void(const std::string&)> onError)
    : m_project(project), m_stateFolder(std::move(stateFolder)), m_writer(std::move(onError)) {
    m_project.SetChangeObserver(this);
}

TSessionJournal::~TSessionJournal() {
    m_project.SetChangeObserver(nullptr);
}

void TSessionJournal::Begin(const std::string& projectPath) {
    std::error_code error;
    std::filesystem::create_directories(SessionsFolder(m_stateFolder), error);
    std::string journalPath = projectPath.empty() ? m_stateFolder + "/unsaved-" + std::to_string(::getpid()) +
                                                        "-" + std::to_string(WallClockMs()) + ".journal"
                                                  : JournalPathFor(projectPath);
    TJournalBase base = ProjectIdentity(projectPath);
    base.StartedMs = WallClockMs();
    const std::string marker = MarkerPathFor(m_stateFolder, journalPath);
    m_writer.Start(journalPath, marker, EncodeJournalHeader(base));
}

void TSessionJournal::Continue(const std::string& journalPath, std::size_t completeBytes) {
    m_writer.Continue(journalPath, MarkerPathFor(m_stateFolder, journalPath), completeBytes);
}

void TSessionJournal::Suspend() {
    if (m_suspended++ == 0)
        m_project.SetChangeObserver(nullptr);
}

void TSessionJournal::Resume() {
    if (m_suspended > 0 && --m_suspended == 0)
        m_project.SetChangeObserver(this);
}

void TSessionJournal::Saving() {
    m_writer.Sync();
}

void TSessionJournal::Saved(const std::string& projectPath) {
    m_writer.End();
    Begin(projectPath);
}

void TSessionJournal::Emit(TJournalStep step, const TProjectChange* change) {
    m_payload.clear();
    BeginStepPayload(step, WallClockMs(), m_payload);
    if (change)
        EncodeChange(*change, m_payload);
    m_frame.clear();
    AppendFrame(m_payload, m_frame);
    m_writer.Append(m_frame);
}

TJournalStep TSessionJournal::ChangeStep() {
    if (!m_isJoining)
        return TJournalStep::Change;
    return std::exchange(m_hasJoinedChange, true) ? TJournalStep::Join : TJournalStep::Change;
}

void TSessionJournal::JoinOpened() {
    m_isJoining = true;
    m_hasJoinedChange = false;
}

void TSessionJournal::JoinClosed() {
    m_isJoining = false;
}

void TSessionJournal::ChangeMade(const TProjectChange& change) {
    if (m_openScopes == 0) {
        Emit(ChangeStep(), &change);
        return;
    }
    EncodeChange(change, m_scopeChildren);
    ++m_scopeCount;
}

void TSessionJournal::ScopeOpened() {
    if (m_openScopes++ == 0) {
        m_scopeChildren.clear();
        m_scopeCount = 0;
    }
}

// A scope is written as one compound change, so a journal cut short never
// holds half of an undo step.
void TSessionJournal::ScopeClosed() {
    if (m_openScopes == 0 || --m_openScopes > 0 || m_scopeCount == 0)
        return;
    m_payload.clear();
    BeginStepPayload(ChangeStep(), WallClockMs(), m_payload);
    m_payload.push_back(static_cast<char>(TChangeKind::Compound));
    for (int i = 0; i < 4; ++i)
        m_payload.push_back(static_cast<char>((m_scopeCount >> (8 * i)) & 0xFF));
    m_payload += m_scopeChildren;
    m_frame.clear();
    AppendFrame(m_payload, m_frame);
    m_writer.Append(m_frame);
}

void TSessionJournal::Undone() {
    Emit(TJournalStep::Undo, nullptr);
}

void TSessionJournal::Redone() {
    Emit(TJournalStep::Redo, nullptr);
}
