#pragma once
// The File menu's imports and exports on the main window: once installed,
// each command asks for its file (and offset or colour), runs its importer
// or the exporter on the main window's project, then brings the type and
// group windows, the event commands, the lists, the time line and the video
// windows up to date, also when the importer failed part way (what it had
// added before stays and is shown).
//
// Owned by whoever created the main window; must not outlive it.
// Threads: the UI thread.

#include "interchange/prolog_export.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class QWidget;
class TFormMain;

// The questions the commands ask, behind an interface so tests can answer.
class TInterchangeDialogs {
public:
    virtual ~TInterchangeDialogs() = default;
    // filter in the file dialog's form, "xml (*.xml)". nullopt: cancelled.
    virtual std::optional<QString> AskOpenFile(QWidget* parent, const QString& filter) = 0;
    // Asks before naming an existing file.
    virtual std::optional<QString> AskSaveFile(QWidget* parent, const QString& filter,
                                               const QString& defaultSuffix) = 0;
    // The number dialog ("Invalid number!" for anything else).
    virtual std::optional<int32_t> AskInteger(QWidget* parent, const QString& caption, int32_t initial) = 0;
};

class TMainInterchange {
public:
    // Connects the commands; the standard dialogs unless `dialogs` is given.
    explicit TMainInterchange(TFormMain& form, std::unique_ptr<TInterchangeDialogs> dialogs = nullptr);
    ~TMainInterchange();
    TMainInterchange(const TMainInterchange&) = delete;
    TMainInterchange& operator=(const TMainInterchange&) = delete;

    void ActionImportTranscriptionExecute();
    void ActionImportAnvilExecute();
    void ActionImportPrologExecute();
    void ActionExportPrologExecute();
    void ActionImportOutputEventsExecute();
    void ActionImportGraphExecute();
    void ActionImportObjectsExecute();

    // The Prolog header of the editor's media: the slider's length and page
    // size, and every video window with a camera, in media order.
    TPrologHeader PrologHeader() const;

private:
    std::optional<std::string> AskOpen(const char* filter);
    // Runs import, then refreshes everything whether or not it threw.
    template <typename F> void RunImport(F&& import);

    TFormMain& m_form;
    std::unique_ptr<TInterchangeDialogs> m_dialogs;
};
