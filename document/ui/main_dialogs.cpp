#include "document/ui/main_dialogs.h"

#include "document/ui/error_handler.h"
#include "media/avi/ui/avi_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

const QString DocumentFilter = QStringLiteral("xml (*.xml)");

class TStandardDialogs final : public TFormMainDialogs {
public:
    std::optional<QString> AskOpenDocument(QWidget* parent) override {
        const QString path = QFileDialog::getOpenFileName(parent, QString(), QString(), DocumentFilter);
        if (path.isEmpty())
            return std::nullopt;
        return path;
    }

    std::optional<QString> AskSaveDocument(QWidget* parent) override {
        // Not the static helper: it cannot add a default extension.
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(DocumentFilter);
        dialog.setDefaultSuffix(QStringLiteral("xml"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }

    void ShowError(QWidget* parent, const QString& message) override { ShowErrorMessage(parent, message); }
};

} // namespace

QStringList TFormMainDialogs::AskMediaFiles(QWidget* parent) {
    // "*mpeg" without the dot is the filter users know.
    return QFileDialog::getOpenFileNames(
        parent, QString(), QString(),
        QStringLiteral("All (*.avi *.wav *.bmp *.mpg *mpeg);;AVI files (*.avi);;Wave files (*.wav);;"
                       "BMP files (*.bmp);;MPEG files (*.mpg *mpeg)"));
}

std::optional<QString> TFormMainDialogs::AskSaveExport(QWidget* parent, const QString& filter,
                                                       const QString& suffix) {
    QFileDialog dialog(parent, QString(), QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

bool TFormMainDialogs::AskCompressor(QWidget* parent, TAVICompressorOptions& options) {
    return TAVIDialogChooser(parent).ChooseCompressor(options);
}

bool TFormMainDialogs::AskYesNo(QWidget* parent, const QString& question) {
    return QMessageBox::question(parent, QString::fromLatin1(ApplicationTitle), question,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::unique_ptr<TFormMainDialogs> CreateStandardDialogs() {
    return std::make_unique<TStandardDialogs>();
}
