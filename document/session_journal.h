#pragma once
// The journal of one editing session: observes the project, turns every
// change, Undo and Redo into a frame (change_codec.h) and hands it to the
// writer thread. Encoding is all the UI thread pays per change.
//
// Where journals live: next to the project ("<project>.journal"); for a
// project never saved, in the state folder ($XDG_STATE_HOME/scenemark, by
// default ~/.local/state/scenemark) as "unsaved-<pid>-<ms>.journal". Every
// journal has a marker in "<state folder>/sessions" naming it, which is how
// start-up finds the journals left behind.
//
// Threads: the UI thread.

#include "document/change_codec.h"
#include "document/journal_writer.h"
#include "model/project.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// $XDG_STATE_HOME/scenemark, or ~/.local/state/scenemark.
std::string StateFolder();
std::string SessionsFolder(const std::string& stateFolder);
std::string JournalPathFor(const std::string& projectPath);
// The marker's path for a journal: a name derived from the journal's path.
std::string MarkerPathFor(const std::string& stateFolder, const std::string& journalPath);
// The project file as it is now (modification time and size); Size -1 when
// there is no such file.
TJournalBase ProjectIdentity(const std::string& projectPath);
int64_t WallClockMs();

class TSessionJournal final : public TChangeObserver {
public:
    // Observes project from now on (call Begin to name the journal).
    TSessionJournal(TProject& project, std::string stateFolder,
                    std::function<void(const std::string&)> onError = {});
    ~TSessionJournal() override;
    TSessionJournal(const TSessionJournal&) = delete;
    TSessionJournal& operator=(const TSessionJournal&) = delete;

    // A new journal for the project file at projectPath (empty: never
    // saved), based on that file as it is now. The previous journal is
    // detached (left for the next start-up) unless Saved ended it.
    void Begin(const std::string& projectPath);
    // Goes on writing a journal read back at start-up.
    void Continue(const std::string& journalPath, std::size_t completeBytes);
    // Stop and start observing (opening a document, replaying a journal).
    void Suspend();
    void Resume();
    // Before a save: everything so far reaches the disk. After it: the
    // journal ends (its changes are in the project) and the next one is
    // based on the saved file.
    void Saving();
    void Saved(const std::string& projectPath);

    TJournalWriter& Writer() { return m_writer; }

    // TChangeObserver
    void ChangeMade(const TProjectChange& change) override;
    void ScopeOpened() override;
    void ScopeClosed() override;
    void Undone() override;
    void Redone() override;
    void JoinOpened() override;
    void JoinClosed() override;

private:
    void Emit(TJournalStep step, const TProjectChange* change);
    // Change, or Join for the second and later changes of a joined step.
    TJournalStep ChangeStep();

    TProject& m_project;
    std::string m_stateFolder;
    TJournalWriter m_writer;
    int m_suspended = 0;
    int m_openScopes = 0;
    std::string m_scopeChildren;
    uint32_t m_scopeCount = 0;
    bool m_isJoining = false;
    bool m_hasJoinedChange = false;
    std::string m_frame;
    std::string m_payload;
};
