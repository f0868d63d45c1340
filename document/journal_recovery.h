#pragma once
// Start-up's look for work a session left unsaved: the journals named by
// the markers in the state folder. A journal needs recovery when it holds
// changes and its project is still the file it was based on (or it never had
// one); a journal whose project changed since (a save finished, another
// program wrote it) is set aside. A journal another running editor holds
// open is left alone.
//
// Threads: the UI thread (at start-up).

#include "document/change_codec.h"
#include "model/project.h"

#include <QString>

#include <cstddef>
#include <string>
#include <vector>

struct TPendingJournal {
    std::string JournalPath;
    std::string MarkerPath;
    TJournalContents Contents;
    std::size_t ChangeCount() const { return Contents.Records.size(); }
    int64_t LastChangeMs() const {
        return Contents.Records.empty() ? Contents.Base.StartedMs : Contents.Records.back().WallTimeMs;
    }
};

// The journals to offer, newest last change first. Journals that need no
// recovery are set aside (renamed with their date, never deleted) and their
// markers removed; markers naming no file are removed.
std::vector<TPendingJournal> FindPendingJournals(const std::string& stateFolder);

// "The last session ended with N unsaved changes (time). Recover them?"
QString RecoveryQuestion(const TPendingJournal& journal);

// Applies the journal's records to the project (which the caller opened from
// the journal's base, or reset). Stops at the first record that does not fit
// the project. Returns how many records were applied.
std::size_t ReplayJournal(TProject& project, TJournalContents& contents);

// Before a journal read in an older version is continued: its file gets the
// current version number, which reads every older encoding too. False when
// the file could not be written.
bool MarkJournalCurrent(const TPendingJournal& journal);

// The journal is not wanted: renamed aside with its date, marker removed.
void DeclineJournal(const TPendingJournal& journal);
