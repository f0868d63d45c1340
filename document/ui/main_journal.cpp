#include "document/ui/main_journal.h"

#include "document/journal_recovery.h"
#include "document/ui/form_main.h"
#include "document/ui/main_document.h"
#include "platform/test_trace.h"

#include <QMetaObject>
#include <QPointer>

#include <string>

TMainJournal::TMainJournal(TFormMain& form, TMainDocument& document, std::string stateFolder)
    : m_form(form), m_document(document),
      m_stateFolder(stateFolder.empty() ? StateFolder() : std::move(stateFolder)) {
    QPointer<TFormMain> target(&form);
    m_journal = std::make_unique<TSessionJournal>(form.Project(), m_stateFolder,
                                                  [target](const std::string& message) {
                                                      // From the writer's thread: shown by the UI thread.
                                                      QMetaObject::invokeMethod(
                                                          target.data(),
                                                          [target, text = QString::fromStdString(message)] {
                                                              if (target)
                                                                  target->ShowMessage(text);
                                                          },
                                                          Qt::QueuedConnection);
                                                  });
    m_journal->Begin(form.DocumentFileName());
    TSessionHooks hooks;
    hooks.Replacing = [this] { Replacing(); };
    hooks.Replaced = [this] { Replaced(); };
    hooks.Saving = [this] { m_journal->Saving(); };
    hooks.Saved = [this](const std::string& path) { m_journal->Saved(path); };
    m_form.SetSessionHooks(std::move(hooks));
}

TMainJournal::~TMainJournal() {
    m_form.SetSessionHooks({});
}

// What a reset or an Open does to the project is no change of the session:
// the next journal starts from the project that results.
void TMainJournal::Replacing() {
    if (m_replacing++ == 0) {
        m_journal->Writer().Detach();
        m_journal->Suspend();
    }
}

void TMainJournal::Replaced() {
    if (m_replacing == 0 || --m_replacing > 0)
        return;
    m_journal->Begin(m_form.DocumentFileName());
    m_journal->Resume();
}

bool TMainJournal::RecoverAtStartUp() {
    std::vector<TPendingJournal> pending = FindPendingJournals(m_stateFolder);
    if (pending.empty())
        return false;
    TPendingJournal& journal = pending.front();
    TraceTestPoint("recovery-question");
    if (!m_form.Dialogs().AskYesNo(&m_form, RecoveryQuestion(journal))) {
        DeclineJournal(journal);
        return false;
    }
    const std::string& projectPath = journal.Contents.Base.ProjectPath;
    Replacing();
    try {
        if (!projectPath.empty())
            m_document.Read(projectPath, false);
        else
            m_form.ResetProject();
    } catch (...) {
        Replaced();
        throw;
    }
    Replaced();
    m_journal->Suspend();
    const std::size_t applied = ReplayJournal(m_form.Project(), journal.Contents);
    TraceTestPoint("recovered " + std::to_string(applied));
    // The journal goes on from where it was complete: what it holds stays
    // recoverable until the next save.
    MarkJournalCurrent(journal);
    m_journal->Continue(journal.JournalPath, journal.Contents.CompleteBytes);
    m_journal->Resume();
    m_form.RefreshAnnotationViews();
    return true;
}
