#pragma once
// The session journal on the main window: every change of the project is
// appended to the journal from the moment this exists; a save ends it, a
// reset or an Open leaves it for the next start-up. RecoverAtStartUp offers
// the work an earlier session left unsaved.
//
// Owned by whoever created the main window and its document; must not
// outlive either. Threads: the UI thread.

#include "document/session_journal.h"

#include <memory>
#include <string>

class TFormMain;
class TMainDocument;

class TMainJournal {
public:
    // stateFolder: empty for StateFolder().
    TMainJournal(TFormMain& form, TMainDocument& document, std::string stateFolder = {});
    ~TMainJournal();
    TMainJournal(const TMainJournal&) = delete;
    TMainJournal& operator=(const TMainJournal&) = delete;

    // Asks about the newest journal that needs recovery, if any: Yes opens
    // its project, replays it and goes on writing it; No sets it aside.
    // True when something was recovered.
    bool RecoverAtStartUp();

    TSessionJournal& Journal() { return *m_journal; }

private:
    void Replacing();
    void Replaced();

    TFormMain& m_form;
    TMainDocument& m_document;
    std::string m_stateFolder;
    std::unique_ptr<TSessionJournal> m_journal;
    int m_replacing = 0;
};
