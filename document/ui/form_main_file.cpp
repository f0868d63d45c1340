// The File menu: open, import, save, save as, close and exit.

#include "document/ui/form_main.h"

#include "platform/replace_file.h"
#include "platform/test_trace.h"

#include <QFile>

void TFormMain::ActionOpenImportExecute(TAppCommandId command) {
    if (!m_readDocument)
        return;
    const std::optional<QString> chosen = m_dialogs->AskOpenDocument(this);
    if (!chosen)
        return;
    if (command != TAppCommandId::ActionOpen) {
        m_readDocument(QFile::encodeName(*chosen).toStdString(), true);
        return;
    }
    OpenDocumentFile(QFile::encodeName(*chosen).toStdString());
}

void TFormMain::OpenDocumentFile(const std::string& path) {
    if (!m_readDocument)
        return;
    if (m_sessionHooks.Replacing)
        m_sessionHooks.Replacing();
    try {
        m_readDocument(path, false);
    } catch (...) {
        if (m_sessionHooks.Replaced)
            m_sessionHooks.Replaced();
        throw;
    }
    if (m_sessionHooks.Replaced)
        m_sessionHooks.Replaced();
}

void TFormMain::ActionSaveExecute(TAppCommandId command) {
    if (!m_writeDocument)
        return;
    std::string target = m_documentFileName;
    if (target.empty() || command == TAppCommandId::ActionSaveAs) {
        const std::optional<QString> chosen = m_dialogs->AskSaveDocument(this);
        if (!chosen)
            return;
        target = QFile::encodeName(*chosen).toStdString();
    }
    // A failure leaves the document name as it was: the project has not
    // reached the new file. When only the folder's flush failed the file is
    // there under its new name, and the warning is still shown.
    TraceTestPoint("save");
    if (m_sessionHooks.Saving)
        m_sessionHooks.Saving();
    try {
        SafeSave(target, m_writeDocument);
    } catch (const TFolderSyncError&) {
        SetDocumentFileName(target);
        if (m_sessionHooks.Saved)
            m_sessionHooks.Saved(target);
        throw;
    }
    SetDocumentFileName(target);
    if (m_sessionHooks.Saved)
        m_sessionHooks.Saved(target);
    TraceTestPoint("saved");
}

void TFormMain::ActionCloseExecute() {
    ResetProject();
}

void TFormMain::MenuFileExitClick() {
    close();
}
