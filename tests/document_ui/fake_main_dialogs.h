#pragma once
// The main window's dialogs answered by the test: what they answer is set
// beforehand, what they were asked and what they showed is kept.

#include "document/ui/main_dialogs.h"
#include "media/avi/platform/avi_codecs.h"

#include <QString>
#include <QStringList>

#include <optional>

struct TDialogAnswers {
    std::optional<QString> Document; // the document to open or save to
    QStringList MediaFiles;          // the media files to add
    bool IsYes = true;               // the answer to Yes/No questions
    QStringList Questions;           // the Yes/No questions asked
    QStringList Messages;            // the errors and messages shown
    // The compressor of a video export; nullopt: the real dialog asks.
    std::optional<TAVICompressorOptions> Compressor;
};

class TFakeMainDialogs final : public TFormMainDialogs {
public:
    explicit TFakeMainDialogs(TDialogAnswers& answers) : m_answers(answers) {}
    std::optional<QString> AskOpenDocument(QWidget*) override { return m_answers.Document; }
    std::optional<QString> AskSaveDocument(QWidget*) override { return m_answers.Document; }
    void ShowError(QWidget*, const QString& message) override { m_answers.Messages << message; }
    QStringList AskMediaFiles(QWidget*) override { return m_answers.MediaFiles; }
    std::optional<QString> AskSaveExport(QWidget*, const QString&, const QString&) override {
        return m_answers.Document;
    }
    bool AskCompressor(QWidget* parent, TAVICompressorOptions& options) override {
        if (!m_answers.Compressor)
            return TFormMainDialogs::AskCompressor(parent, options);
        options = *m_answers.Compressor;
        return true;
    }
    bool AskYesNo(QWidget*, const QString& question) override {
        m_answers.Questions << question;
        return m_answers.IsYes;
    }

private:
    TDialogAnswers& m_answers;
};
