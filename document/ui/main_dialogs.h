#pragma once
// The questions the main window asks the user through standard dialogs: the
// document to open, the file to save to, and the message box of the error
// handler. Behind an interface so that tests can answer them.
//
// Threads: the UI thread.

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QWidget;
struct TAVICompressorOptions;

class TFormMainDialogs {
public:
    virtual ~TFormMainDialogs() = default;
    // The project document to open or import; nullopt when the user cancels.
    virtual std::optional<QString> AskOpenDocument(QWidget* parent) = 0;
    // The file to save the project to; the dialog has asked before naming an
    // existing file. nullopt when the user cancels.
    virtual std::optional<QString> AskSaveDocument(QWidget* parent) = 0;
    virtual void ShowError(QWidget* parent, const QString& message) = 0;
    // The media files to add, in the order the dialog returns them; empty
    // when the user cancels. The standard file dialog unless overridden.
    virtual QStringList AskMediaFiles(QWidget* parent);
    // A question with the buttons Yes and No (the confirmations before
    // deleting or clearing); true for Yes. A message box titled like the
    // application unless overridden.
    virtual bool AskYesNo(QWidget* parent, const QString& question);
    // The file an export writes to (filter as "name (*.ext)", default
    // extension), asking before an existing file is named; nullopt when the
    // user cancels. The standard file dialog unless overridden.
    virtual std::optional<QString> AskSaveExport(QWidget* parent, const QString& filter,
                                                 const QString& suffix);
    // The compressor of a video export ("Video Compression"): options arrive
    // with the defaults and receive the choice; false when the user cancels.
    // The AVI writer's own dialog unless overridden.
    virtual bool AskCompressor(QWidget* parent, TAVICompressorOptions& options);
};

// QFileDialog and QMessageBox: filter "xml (*.xml)", default extension xml.
std::unique_ptr<TFormMainDialogs> CreateStandardDialogs();
