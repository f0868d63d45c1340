#include "interchange/ui/main_interchange.h"

#include "document/ui/form_main.h"
#include "interchange/annotation_import.h"
#include "interchange/prolog_import.h"
#include "interchange/text_imports.h"
#include "interchange/transcription_import.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_offset.h"
#include "playback/ui/form_video_list.h"

#include <QFile>
#include <QFileDialog>

namespace {

using Id = TAppCommandId;

class TStandardDialogs final : public TInterchangeDialogs {
public:
    explicit TStandardDialogs(TFormMain& form) : m_form(form) {}

    std::optional<QString> AskOpenFile(QWidget* parent, const QString& filter) override {
        const QString chosen = QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
        return chosen.isEmpty() ? std::nullopt : std::optional<QString>(chosen);
    }
    std::optional<QString> AskSaveFile(QWidget* parent, const QString& filter,
                                       const QString& defaultSuffix) override {
        QFileDialog dialog(parent, QString(), QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().front();
    }
    std::optional<int32_t> AskInteger(QWidget* /*parent*/, const QString& caption, int32_t initial) override {
        int32_t value = initial;
        if (!m_form.FormOffset->AskInteger(value, caption))
            return std::nullopt;
        return value;
    }

private:
    TFormMain& m_form;
};

const QString OffsetCaption = QStringLiteral("Offset");

} // namespace

TMainInterchange::TMainInterchange(TFormMain& form, std::unique_ptr<TInterchangeDialogs> dialogs)
    : m_form(form), m_dialogs(dialogs ? std::move(dialogs) : std::make_unique<TStandardDialogs>(form)) {
    const std::pair<Id, void (TMainInterchange::*)()> handlers[] = {
        {Id::ActionImportTranscription, &TMainInterchange::ActionImportTranscriptionExecute},
        {Id::ActionImportAnvil, &TMainInterchange::ActionImportAnvilExecute},
        {Id::ActionImportProlog, &TMainInterchange::ActionImportPrologExecute},
        {Id::ActionExportProlog, &TMainInterchange::ActionExportPrologExecute},
        {Id::ActionImportOutputEvents, &TMainInterchange::ActionImportOutputEventsExecute},
        {Id::ActionImportGraph, &TMainInterchange::ActionImportGraphExecute},
        {Id::ActionImportObjects, &TMainInterchange::ActionImportObjectsExecute},
    };
    for (const auto& [id, handler] : handlers)
        m_form.ConnectCommand(id, [this, handler = handler] { (this->*handler)(); });
}

TMainInterchange::~TMainInterchange() = default;

std::optional<std::string> TMainInterchange::AskOpen(const char* filter) {
    const std::optional<QString> chosen = m_dialogs->AskOpenFile(&m_form, QString::fromLatin1(filter));
    if (!chosen)
        return std::nullopt;
    return QFile::encodeName(*chosen).toStdString();
}

template <typename F> void TMainInterchange::RunImport(F&& import) {
    const auto refresh = [this] {
        m_form.RefreshTypeList();
        m_form.Clock().RefreshAtPosition();
    };
    try {
        // One step to take back, whatever the file brought, also when it
        // stopped at a bad record.
        const TProject::TChangeScope scope(m_form.Project());
        import(TImportTarget{m_form.Project(), m_form.CaptureHost()});
    } catch (...) {
        refresh();
        throw;
    }
    refresh();
}

void TMainInterchange::ActionImportTranscriptionExecute() {
    const std::optional<std::string> file = AskOpen("xml (*.xml)");
    if (!file)
        return;
    const std::optional<int32_t> offset = m_dialogs->AskInteger(&m_form, OffsetCaption, 0);
    if (!offset)
        return;
    RunImport([&](const TImportTarget& target) { ImportTranscription(*file, *offset, target); });
}

void TMainInterchange::ActionImportAnvilExecute() {
    const std::optional<std::string> file = AskOpen("anvil (*.anvil)");
    if (!file)
        return;
    const std::optional<int32_t> offset = m_dialogs->AskInteger(&m_form, OffsetCaption, 0);
    if (!offset)
        return;
    RunImport([&](const TImportTarget& target) { ImportAnnotation(*file, *offset, target); });
}

void TMainInterchange::ActionImportPrologExecute() {
    const std::optional<std::string> file = AskOpen("Prolog definitions (*.pl)");
    if (!file)
        return;
    RunImport([&](const TImportTarget& target) { ImportProlog(*file, target); });
}

void TMainInterchange::ActionExportPrologExecute() {
    const std::optional<QString> chosen =
        m_dialogs->AskSaveFile(&m_form, QStringLiteral("Prolog definitions (*.pl)"), QStringLiteral("pl"));
    if (!chosen)
        return;
    ExportProlog(QFile::encodeName(*chosen).toStdString(), m_form.Project(), PrologHeader());
}

void TMainInterchange::ActionImportOutputEventsExecute() {
    const std::optional<std::string> file = AskOpen("txt (*.txt)");
    if (!file)
        return;
    RunImport([&](const TImportTarget& target) { ImportOutputEvents(*file, target); });
}

void TMainInterchange::ActionImportGraphExecute() {
    const std::optional<std::string> file = AskOpen("txt (*.txt)");
    if (!file)
        return;
    const std::optional<int32_t> offset = m_dialogs->AskInteger(&m_form, OffsetCaption, 0);
    if (!offset)
        return;
    const std::optional<int32_t> color = m_dialogs->AskInteger(&m_form, QStringLiteral("Color"), 0);
    if (!color)
        return;
    RunImport([&](const TImportTarget& target) { ImportGraph(*file, *offset, *color, target); });
}

void TMainInterchange::ActionImportObjectsExecute() {
    const std::optional<std::string> file = AskOpen("txt (*.txt)");
    if (!file)
        return;
    RunImport([&](const TImportTarget& target) { ImportObjects(*file, target); });
}

TPrologHeader TMainInterchange::PrologHeader() const {
    TPrologHeader header;
    header.LengthMs = m_form.Clock().TrackBar().Maximum;
    header.FramePeriodMs = m_form.Clock().TrackBar().PageSize;
    TFormVideoList& videos = m_form.VideoList();
    for (int32_t i = 0; i < videos.Count(); ++i) {
        TFormVideo& window = videos.Window(i);
        if (window.Camera < 0)
            continue;
        TPrologCamera camera{window.Camera, 0, 0};
        if (TAVFile* media = window.MediaFile()) {
            const TAVFile::TVideoFormat format = media->GetVideoFormat();
            camera.Width = format.Width;
            camera.Height = format.Height;
        }
        header.Cameras.push_back(camera);
    }
    return header;
}
