#include "document/ui/main_document.h"

#include "document/ui/form_main.h"
#include "playback/playback_clock.h"
#include "playback/playback_medium.h"
#include "playback/time_convert.h"
#include "playback/ui/form_offset.h"
#include "playback/ui/form_video_list.h"
#include "views/form_time_line.h"
#include "views/form_video.h"

#include <QFile>
#include <QHeaderView>
#include <QSlider>
#include <QTableWidget>

namespace {

// The main window's media set as the document sees it.
class TVideoListMedia final : public TDocumentMedia {
public:
    explicit TVideoListMedia(TFormMain& form) : m_form(form) {}

    std::vector<TDocumentMedium> Media() const override {
        std::vector<TDocumentMedium> media;
        TFormVideoList& list = m_form.VideoList();
        for (int32_t i = 0; i < list.Count(); ++i) {
            const TFormVideo& window = list.Window(i);
            media.push_back(
                {QFile::encodeName(window.FileName()).toStdString(), window.Camera, window.Offset});
        }
        for (const TFormVideoList::TUnopenedMedium& medium : list.Unopened())
            media.push_back({QFile::encodeName(medium.FileName).toStdString(), medium.Camera, medium.Offset});
        return media;
    }
    double FirstVideoFrameRate() const override {
        TFormVideoList& list = m_form.VideoList();
        for (int32_t i = 0; i < list.Count(); ++i) {
            if (!HasReadableVideo(list.Medium(i)))
                continue;
            const TAVFile::TVideoFormat format = VideoFormatOf(list.Medium(i));
            return format.Scale == 0 ? 0.0 : static_cast<double>(format.Rate) / format.Scale;
        }
        return 0;
    }
    int32_t MediaCount() const override { return m_form.VideoList().Count(); }
    int32_t AddMedium(const std::string& fileName) override {
        if (!m_form.AddMedium(QFile::decodeName(QByteArray::fromStdString(fileName))))
            return -1;
        return m_form.VideoList().Count() - 1;
    }
    void SetCamera(int32_t index, int32_t camera) override {
        if (index >= 0 && index < MediaCount())
            m_form.VideoList().Window(index).Camera = camera;
    }
    void SetOffset(int32_t index, int32_t offsetMs) override {
        if (index >= 0 && index < MediaCount())
            m_form.VideoList().Window(index).Offset = offsetMs;
    }
    void KeepUnopened(const TDocumentMedium& medium) override {
        m_form.VideoList().KeepUnopened(
            {QFile::decodeName(QByteArray::fromStdString(medium.FileName)), medium.Camera, medium.Offset});
    }
    // The clock converts with the first medium; so does the document.
    int32_t FramesFromMs(int32_t ms) const override {
        return ::FramesFromMs(ms, VideoFormatOf(m_form.VideoList().Medium(0)));
    }
    int32_t MsFromFrames(int32_t frames) const override {
        return ::MsFromFrames(frames, VideoFormatOf(m_form.VideoList().Medium(0)));
    }

private:
    TFormMain& m_form;
};

TFormVideo* VideoWindow(const TFormMain& form, int32_t index) {
    const std::vector<QWidget*> windows = form.VideoWindows();
    if (index < 0 || index >= static_cast<int32_t>(windows.size()))
        return nullptr;
    return dynamic_cast<TFormVideo*>(windows[static_cast<std::size_t>(index)]);
}

} // namespace

class TMainDocument::TLayout final : public TDocumentLayout {
public:
    explicit TLayout(TFormMain& form) : m_form(form) {}

    bool IsPanelVisible(TLayoutPanel panel) const override {
        return panel == TLayoutPanel::Events ? m_form.IsEventsPanelVisible() : m_form.IsTitlesPanelVisible();
    }
    int32_t ColumnWidth(TLayoutPanel panel, int32_t column) const override {
        const QTableWidget* grid =
            panel == TLayoutPanel::Events ? m_form.StringGridMessages : m_form.StringGridTitles;
        return grid->horizontalHeader()->sectionSize(column);
    }
    int32_t MediaWindowCount() const override { return static_cast<int32_t>(m_form.VideoWindows().size()); }
    TMediaWindowFrame MediaWindowFrame(int32_t index) const override {
        TMediaWindowFrame frame;
        const QWidget* window = m_form.VideoWindows().at(static_cast<std::size_t>(index));
        const QRect outer = window->frameGeometry();
        frame.Frame = {window->isVisible(), outer.x(), outer.y(), outer.width(), outer.height()};
        if (const auto* video = dynamic_cast<const TFormVideo*>(window))
            frame.Size = video->ZoomLevel();
        return frame;
    }
    TWindowFrame WindowFrame(TToolWindow window) const override {
        return m_form.CaptureLayout().Frame(window);
    }

    void SetPanelVisible(TLayoutPanel panel, bool isVisible) override {
        if (panel == TLayoutPanel::Events)
            m_form.SetEventsPanelVisible(isVisible);
        else
            m_form.SetTitlesPanelVisible(isVisible);
    }
    void SetColumnWidth(TLayoutPanel panel, int32_t column, int32_t width) override {
        if (panel == TLayoutPanel::Events)
            m_form.SetEventsColumnWidth(QString::fromLatin1(EventColumnHeadings.at(column)), width);
        else
            m_form.SetTitlesColumnWidth(QString::fromLatin1(TitleColumnHeadings.at(column)), width);
    }
    void SetMediaWindowValue(int32_t index, TFrameValue field, int32_t value) override {
        QWidget* window = m_form.VideoWindows().at(static_cast<std::size_t>(index));
        const QRect outer = window->frameGeometry();
        // Stored sizes are outer ones; the frame keeps its share.
        const QSize frameExtra = outer.size() - window->size();
        switch (field) {
        case TFrameValue::Visible:
            window->setVisible(value != 0);
            break;
        case TFrameValue::Size:
            if (TFormVideo* video = VideoWindow(m_form, index))
                video->SetZoom(value);
            break;
        case TFrameValue::Left:
            window->move(value, outer.y());
            break;
        case TFrameValue::Top:
            window->move(outer.x(), value);
            break;
        case TFrameValue::Width:
            window->resize(std::max(0, value - frameExtra.width()), window->height());
            break;
        case TFrameValue::Height:
            window->resize(window->width(), std::max(0, value - frameExtra.height()));
            break;
        }
    }
    void SetWindowValue(TToolWindow window, TFrameValue field, int32_t value) override {
        TWindowFramePatch patch;
        switch (field) {
        case TFrameValue::Visible:
            patch.Visible = value != 0;
            break;
        case TFrameValue::Left:
            patch.Left = value;
            break;
        case TFrameValue::Top:
            patch.Top = value;
            break;
        case TFrameValue::Width:
            patch.Width = value;
            break;
        case TFrameValue::Height:
            patch.Height = value;
            break;
        case TFrameValue::Size:
            return;
        }
        m_form.ApplyToolWindowFrame(window, patch);
    }

private:
    TFormMain& m_form;
};

TMainDocument::TMainDocument(TFormMain& form)
    : m_form(form), m_layout(std::make_unique<TLayout>(form)),
      m_videoListMedia(std::make_unique<TVideoListMedia>(form)), m_media(m_videoListMedia.get()) {
    m_askImportOffset = [this]() -> std::optional<int32_t> {
        int32_t offset = 0;
        if (!m_form.FormOffset->AskInteger(offset, QStringLiteral("Offset")))
            return std::nullopt;
        return offset;
    };
    m_refreshAtPosition = [this] {
        // The offsets arrive after their media were added: the slider must
        // reach the end of a medium that starts late.
        m_form.Clock().UpdateTrackBarRange();
        m_form.Clock().RefreshAtPosition();
    };
    m_form.SetDocumentReader([this](const std::string& path, bool asImport) { Read(path, asImport); });
    m_form.SetDocumentWriter([this](const std::string& path) { Write(path); });
}

TMainDocument::~TMainDocument() {
    m_form.SetDocumentReader(nullptr);
    m_form.SetDocumentWriter(nullptr);
}

void TMainDocument::SetMedia(TDocumentMedia* media) {
    m_media = media ? media : m_videoListMedia.get();
}

void TMainDocument::SetImportOffsetQuestion(std::function<std::optional<int32_t>()> ask) {
    m_askImportOffset = std::move(ask);
}

void TMainDocument::SetRefreshAtPosition(std::function<void()> refresh) {
    m_refreshAtPosition = std::move(refresh);
}

void TMainDocument::Read(const std::string& path, bool asImport) {
    int32_t offset = 0;
    if (asImport) {
        const std::optional<int32_t> asked =
            m_askImportOffset ? m_askImportOffset() : std::optional<int32_t>(0);
        if (!asked)
            return;
        offset = *asked;
    }
    const TDocumentReadContext context{
        m_form.Project(),
        *m_media,
        asImport ? nullptr : m_layout.get(),
        m_form.PathTranslations(),
        [this] { m_form.ResetProject(); },
        [this](const std::string& message) { m_form.ShowMessage(QString::fromStdString(message)); }};
    ReadDocument(path, asImport ? TReadMode::Import : TReadMode::Open, offset, context);
    m_form.RefreshTypeList();
    if (!asImport)
        m_form.SetDocumentFileName(path);
    if (m_refreshAtPosition)
        m_refreshAtPosition();
}

void TMainDocument::Write(const std::string& path) {
    WriteDocument(path, {m_form.Project(), *m_media, *m_layout});
}
