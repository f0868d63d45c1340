#include "views/form_video.h"

#include "media/fast_frame_access.h"
#include "media/registry/registry.h"
#include "platform/window_message.h"
#include "playback/preview_picture.h"
#include "views/video_host.h"

#include <QAction>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

// The picture area forwards painting and mouse input to its window.
class TImageVideo final : public QWidget {
public:
    TImageVideo(TFormVideo* form, QWidget* parent) : QWidget(parent), m_form(form) {
        // Every paint covers the whole area (or deliberately keeps the last
        // picture), so Qt need not clear it first.
        setAttribute(Qt::WA_OpaquePaintEvent);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        m_form->ImageVideoPaint(painter);
    }
    void mousePressEvent(QMouseEvent* event) override {
        const QPoint at = event->position().toPoint();
        m_form->ImageVideoMouseDown(event->button(), at.x(), at.y());
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        const QPoint at = event->position().toPoint();
        m_form->ImageVideoMouseMove(event->buttons(), at.x(), at.y());
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        const QPoint at = event->position().toPoint();
        m_form->ImageVideoMouseUp(event->button(), at.x(), at.y());
    }

private:
    TFormVideo* m_form;
};

constexpr int32_t DesignClientWidth = 320;
constexpr int32_t DesignClientHeight = 240;
constexpr int32_t PictureInset = 4;
constexpr int32_t StatusBarHeight = 19;

} // namespace

TFormVideo::TFormVideo(QWidget* owner, TVideoHost* host, TMediaOpener opener)
    : QMainWindow(owner), m_host(host), m_opener(std::move(opener)) {
    if (!m_opener)
        m_opener = [](const std::string& fileName, int32_t streams) { return OpenMedia(fileName, streams); };
    CreateMenus();
    CreatePictureArea();
    MeasureMargins();
    setMinimumSize(160, 66);
    // Runs on the worker: posting is all it may do.
    m_seekWorker = std::make_unique<TSeekWorker>([this] { PostWindowMessage(this, WM_SEEKDONE, 0, 0); });
}

TFormVideo::~TFormVideo() {
    // Before the media file goes: the worker may be reading it.
    m_seekWorker.reset();
    ClearOverlays();
}

bool TFormVideo::event(QEvent* event) {
    if (event->type() == TWindowMessageEvent::EventType() &&
        static_cast<const TWindowMessageEvent*>(event)->Message() == WM_SEEKDONE) {
        ShowFinishedPreview();
        return true;
    }
    return QMainWindow::event(event);
}

void TFormVideo::ReclaimMedium(bool dropPictures) const {
    if (dropPictures)
        m_seekWorker->Invalidate();
    m_seekWorker->WaitIdle();
}

void TFormVideo::ShowFinishedPreview() {
    std::optional<TPreviewPicture> picture = m_seekWorker->TakeCurrent();
    if (!picture || !m_mediaFile)
        return;
    ShowPreviewPicture(std::move(*picture));
    Paint();
    if (m_host)
        m_host->PreviewShown();
}

void TFormVideo::CreateMenus() {
    File1 = menuBar()->addMenu(QStringLiteral("File"));
    Save1 = File1->addAction(QStringLiteral("Save"));
    connect(Save1, &QAction::triggered, this, [this] { Save1Click(); });

    // "Quoter" is the caption users know; keep it.
    Size1 = menuBar()->addMenu(QStringLiteral("Size"));
    connect(Size1, &QMenu::aboutToShow, this, [this] { Size1Click(); });
    const std::pair<QAction**, const char*> sizes[] = {
        {&Quoter1, "Quoter"}, {&Half1, "Half"}, {&Normal1, "Normal"}, {&Double1, "Double"}};
    for (int32_t level = ZoomQuarter; level <= ZoomDouble; ++level) {
        QAction* item = Size1->addAction(QString::fromLatin1(sizes[level].second));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, level] { SetZoom(level); });
        *sizes[level].first = item;
    }

    Streams1 = menuBar()->addMenu(QStringLiteral("Streams"));
    CheckBoxVideo = Streams1->addAction(QStringLiteral("Video"));
    CheckBoxAudio = Streams1->addAction(QStringLiteral("Audio"));
    for (QAction* item : {CheckBoxVideo, CheckBoxAudio}) {
        item->setCheckable(true);
        item->setChecked(true);
        connect(item, &QAction::triggered, this, [this, item] { StreamItemChosen(item); });
    }
    Streams1->addSeparator();
    PopupMenuDescription = Streams1->addAction(QString());
}

void TFormVideo::CreatePictureArea() {
    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(PictureInset, PictureInset, PictureInset, PictureInset);
    ImageVideo = new TImageVideo(this, client);
    layout->addWidget(ImageVideo);
    setCentralWidget(client);

    StatusBar = statusBar();
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setFixedHeight(StatusBarHeight);
    // Not a status message: Qt replaces that with the status tip of every
    // menu item the mouse passes over.
    m_statusLabel = new QLabel(StatusBar);
    StatusBar->addPermanentWidget(m_statusLabel, 1);
}

// The menu bar's height depends on the style and font, so the margins are
// measured on the laid-out design size rather than assumed.
void TFormVideo::MeasureMargins() {
    resize(DesignClientWidth, DesignClientHeight + menuBar()->sizeHint().height());
    layout()->activate();
    centralWidget()->layout()->activate();
    m_marginX = width() - ImageVideo->width();
    m_marginY = height() - ImageVideo->height();
}

// --- The medium ------------------------------------------------------------

bool TFormVideo::OpenFile(const QString& fileName) {
    CloseFile();
    try {
        m_mediaFile = m_opener(fileName.toStdString(), TAVFile::StreamVideo | TAVFile::StreamAudio);
        if (!m_mediaFile) {
            CloseFile();
            return false;
        }
        ShowStreams();
        SetZoom(ZoomNormal);
        setWindowTitle(fileName);
        m_fileName = fileName;
        PopupMenuDescription->setText(QString::fromStdString(m_mediaFile->GetDescription()));
        FetchFrame(0);
        try {
            m_mediaFile->Seek(0);
        } catch (const TAVFile::AVFileError&) {
            // A freshly opened audio-only file already stands at its start; a
            // backend that cannot seek it must not cost the project the
            // medium.
            if (HasVideo())
                throw;
        }
        ShowCentredOnOwner();
        return true;
    } catch (const std::exception&) {
        // A file that fails anywhere while opening is simply not added.
        CloseFile();
        return false;
    }
}

void TFormVideo::ShowStreams() {
    const int32_t streams = m_mediaFile->GetStreams();
    const bool hasVideo = streams & TAVFile::StreamVideo;
    if (hasVideo) {
        const TAVFile::TVideoFormat format = m_mediaFile->GetVideoFormat();
        const double rate = format.Scale ? double(format.Rate) / format.Scale : 0.0;
        CheckBoxVideo->setText(QString::asprintf("Video %dx%d-%.2f", format.Width, format.Height, rate));
        m_videoWidth = format.Width;
        m_videoHeight = format.Height;
        m_offscreenPicture =
            QImage(std::max(format.Width, 0), std::max(format.Height, 0), QImage::Format_RGB32);
        m_offscreenPicture.fill(Qt::black);
    } else {
        CheckBoxVideo->setText(QStringLiteral("No video"));
        m_videoWidth = 0;
        m_videoHeight = 0;
        m_offscreenPicture = QImage();
    }
    CheckBoxVideo->setChecked(hasVideo);
    CheckBoxVideo->setEnabled(hasVideo);
    Size1->menuAction()->setEnabled(hasVideo);

    const bool hasAudio = streams & TAVFile::StreamAudio;
    if (hasAudio) {
        const TAVFile::TAudioFormat format = m_mediaFile->GetAudioFormat();
        CheckBoxAudio->setText(QString::asprintf("Audio %d %d", format.SamplesPerSecond, format.Channels));
    } else {
        CheckBoxAudio->setText(QStringLiteral("No audio"));
    }
    CheckBoxAudio->setChecked(hasAudio);
    CheckBoxAudio->setEnabled(hasAudio);
}

void TFormVideo::ShowCentredOnOwner() {
    if (QWidget* owner = parentWidget()) {
        const QPoint centre = owner->frameGeometry().center();
        move(centre.x() - frameGeometry().width() / 2, centre.y() - frameGeometry().height() / 2);
    }
    show();
}

void TFormVideo::CloseFile() {
    ReclaimMedium(true);
    // The frame pointer lives in the media file's block: drop it before the
    // file goes, so no later paint reads freed memory.
    m_currentBitmap = nullptr;
    m_currentFrameIndex = -1;
    m_currentFrame = QImage();
    m_isFrameScaled = false;
    m_isPreviewPicture = false;
    m_previewPicture = {};
    std::unique_ptr<TAVFile> file = std::move(m_mediaFile);
    hide();
    setWindowTitle(QString());
    m_fileName.clear();
    PopupMenuDescription->setText(QString());
    if (file)
        file->Close();
}

bool TFormVideo::HasVideo() const {
    return m_mediaFile && m_mediaFile->GetMode() == TAVFile::ModeRead &&
           (m_mediaFile->GetStreams() & TAVFile::StreamVideo);
}

bool TFormVideo::IsVideoTicked() const {
    return CheckBoxVideo->isChecked();
}

bool TFormVideo::IsAudioTicked() const {
    return CheckBoxAudio->isChecked();
}

void TFormVideo::ShowPlaybackRate(double fps, int32_t dropped) {
    m_statusLabel->setText(QString::asprintf("FPS: %.2f Dropped: %d", fps, dropped));
}

QString TFormVideo::StatusText() const {
    return m_statusLabel->text();
}

// --- Frame and picture -----------------------------------------------------

void TFormVideo::FetchFrame(int32_t frame) {
    // The exact frame overtakes every preview still on its way.
    ReclaimMedium(true);
    if (!HasVideo())
        return;
    m_currentBitmap = nullptr;
    m_currentFrameIndex = -1;
    m_currentFrame = QImage();
    m_isFrameScaled = false;
    m_isPreviewPicture = false;
    m_previewPicture = {};
    if (!CheckBoxVideo->isChecked()) {
        // An interleaved file reads both streams from one demultiplexer; the
        // skipped picture keeps the audio flowing.
        if (m_mediaFile->GetFlags() & TAVFile::FlagInterleaved)
            m_mediaFile->SkipFrames(1);
        return;
    }
    auto* fast = dynamic_cast<TFastFrameAccess*>(m_mediaFile.get());
    const QSize scaled = ScaledFetchSize();
    if (fast != nullptr && !scaled.isEmpty()) {
        // Converting and scaling in one pass to the few pixels a window
        // shows costs a fraction of a full-size conversion plus a stretch.
        m_currentFrame = WrapFrame(fast->GetScaledFrameAt(frame, scaled.width(), scaled.height()),
                                   scaled.width(), scaled.height());
        m_currentFrameIndex = frame;
        m_isFrameScaled = true;
        return;
    }
    // The top-down frame buffer draws without flipping rows; where the
    // backend decodes into it natively this costs no copy at all.
    const uint8_t* bitmap = m_mediaFile->GetFrameAt(frame);
    m_currentBitmap = bitmap;
    m_currentFrameIndex = frame;
    m_currentFrame = WrapFrame(bitmap, m_videoWidth, m_videoHeight);
}

void TFormVideo::PreviewFrame(int32_t frame) {
    ReclaimMedium(true);
    auto* fast = dynamic_cast<TFastFrameAccess*>(m_mediaFile.get());
    if (fast != nullptr && HasVideo() && CheckBoxVideo->isChecked())
        frame = fast->SeekKeyFrame(frame);
    FetchFrame(frame);
}

std::function<std::optional<TPreviewPicture>(int32_t, const std::function<bool()>&)>
TFormVideo::PreviewRenderer() {
    if (!HasVideo() || !CheckBoxVideo->isChecked())
        return {};
    HoldCurrentFrame();
    // Double buffering composes at the video's size (0 x 0 asks for it).
    const QSize size = ScaledFetchSize();
    TAVFile* file = m_mediaFile.get();
    return [file, width = size.width(), height = size.height()](int32_t frame,
                                                                const std::function<bool()>& isOvertaken) {
        return RenderPreviewPicture(*file, frame, std::max(width, 0), std::max(height, 0), isOvertaken);
    };
}

void TFormVideo::HoldCurrentFrame() {
    if (m_isPreviewPicture || m_currentFrame.isNull() ||
        m_currentFrame.bytesPerLine() != m_currentFrame.width() * 4)
        return;
    // The frame shown lives in the file's buffers, which the worker is about
    // to decode into: the window keeps a copy to paint until its picture
    // comes.
    TPreviewPicture held;
    held.Frame = m_currentFrameIndex;
    held.Width = m_currentFrame.width();
    held.Height = m_currentFrame.height();
    held.Pixels.assign(m_currentFrame.constBits(), m_currentFrame.constBits() + m_currentFrame.sizeInBytes());
    ShowPreviewPicture(std::move(held));
}

void TFormVideo::ShowPreviewPicture(TPreviewPicture picture) {
    m_previewPicture = std::move(picture);
    m_currentBitmap = nullptr;
    m_isFrameScaled = false;
    m_isPreviewPicture = true;
    m_currentFrameIndex = m_previewPicture.Frame;
    m_currentFrame =
        WrapFrame(m_previewPicture.Pixels.data(), m_previewPicture.Width, m_previewPicture.Height);
}

QSize TFormVideo::ScaledFetchSize() const {
    // Double buffering composes at the video's own size, and the output
    // window and the export read that picture.
    const QSize area = ImageVideo->size();
    if (m_doubleBuffered || area.isEmpty() || area == QSize(m_videoWidth, m_videoHeight))
        return QSize();
    return area;
}

const uint8_t* TFormVideo::CurrentBitmap() const {
    if (m_currentBitmap == nullptr && (m_isFrameScaled || m_isPreviewPicture) && m_mediaFile &&
        m_currentFrameIndex >= 0) {
        ReclaimMedium(false);
        try {
            m_currentBitmap = m_mediaFile->GetFrameAt(m_currentFrameIndex);
        } catch (const TAVFile::AVFileError&) {
            return nullptr;
        }
    }
    return m_currentBitmap;
}

void TFormVideo::UseFullSizeFrame() {
    const bool isPreviewScaled =
        m_isPreviewPicture && m_currentFrame.size() != QSize(m_videoWidth, m_videoHeight);
    if (!m_isFrameScaled && !isPreviewScaled)
        return;
    const uint8_t* bitmap = CurrentBitmap();
    m_currentFrame = WrapFrame(bitmap, m_videoWidth, m_videoHeight);
    m_isFrameScaled = false;
    m_isPreviewPicture = false;
    if (bitmap == nullptr)
        m_currentFrameIndex = -1;
}

void TFormVideo::Paint() {
    // Composed here, not only by the paint event: Qt drops the repaint of a
    // window that is minimised or not exposed yet, and the output window and
    // the exports would take a stale picture.
    if (m_doubleBuffered && m_mediaFile && IsVideoTicked()) {
        ComposeOffscreen();
        m_isOffscreenCurrent = true;
    }
    if (ImageVideo->isVisible())
        ImageVideo->repaint();
}

TPictureContent TFormVideo::PictureContent() const {
    TPictureContent content{m_currentFrame, m_videoWidth, m_videoHeight, &m_overlays, nullptr, m_captionText};
    return content;
}

void TFormVideo::ComposeOffscreen() {
    if (m_offscreenPicture.isNull())
        return;
    UseFullSizeFrame();
    QPainter painter(&m_offscreenPicture);
    const std::optional<TRectangle> preview = DragPreview();
    TPictureContent content = PictureContent();
    content.Preview = preview ? &*preview : nullptr;
    ComposePicture(painter, m_offscreenPicture.size(), content);
}

void TFormVideo::FitScaledFrame(QSize area) {
    if (!m_isFrameScaled || m_currentFrame.size() == area)
        return;
    if (area == QSize(m_videoWidth, m_videoHeight)) {
        UseFullSizeFrame();
        return;
    }
    // The window was resized since the fetch: the held picture converts
    // again without decoding.
    ReclaimMedium(false);
    try {
        auto* fast = dynamic_cast<TFastFrameAccess*>(m_mediaFile.get());
        m_currentFrame = WrapFrame(fast->GetScaledFrameAt(m_currentFrameIndex, area.width(), area.height()),
                                   area.width(), area.height());
    } catch (const TAVFile::AVFileError&) {
        // The picture fetched before stays, stretched.
    }
}

void TFormVideo::DrawDirect(QPainter& painter, QSize area) {
    if (!area.isEmpty())
        FitScaledFrame(area);
    if (!m_currentFrame.isNull())
        m_coveredSize = area;
    else if (area != m_coveredSize)
        painter.fillRect(QRect(QPoint(0, 0), area), Qt::black);
    const std::optional<TRectangle> preview = DragPreview();
    TPictureContent content = PictureContent();
    content.Preview = preview ? &*preview : nullptr;
    ComposePicture(painter, area, content);
}

void TFormVideo::ImageVideoPaint(QPainter& painter) {
    const QSize area = ImageVideo->size();
    const QRect whole(QPoint(0, 0), area);
    if (!m_mediaFile || !CheckBoxVideo->isChecked()) {
        painter.fillRect(whole, Qt::black);
        m_coveredSize = QSize();
        return;
    }
    if (!m_doubleBuffered) {
        DrawDirect(painter, area);
        return;
    }
    if (!m_isOffscreenCurrent)
        ComposeOffscreen();
    m_isOffscreenCurrent = false;
    if (m_offscreenPicture.isNull()) {
        painter.fillRect(whole, Qt::black);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(whole, m_offscreenPicture);
}

void TFormVideo::SetZoom(int32_t level) {
    m_zoomLevel = ClampZoomLevel(level);
    const QSize margins(m_marginX, m_marginY);
    const QSize picture = GrowKeepingAspect(
        ZoomPictureSize(m_zoomLevel, HasVideo(), m_videoWidth, m_videoHeight), minimumSize() - margins);
    resize(picture + margins);
    ImageVideo->update();
}

void TFormVideo::Size1Click() {
    Quoter1->setChecked(m_zoomLevel == ZoomQuarter);
    Half1->setChecked(m_zoomLevel == ZoomHalf);
    Normal1->setChecked(m_zoomLevel == ZoomNormal);
    Double1->setChecked(m_zoomLevel == ZoomDouble);
}

void TFormVideo::CheckBoxVideoClick(QAction* item) {
    item->trigger();
}

void TFormVideo::StreamItemChosen(QAction* item) {
    if (item == CheckBoxVideo)
        Paint();
}

void TFormVideo::Save1Click() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("Bitmaps (*.bmp)"));
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    if (!SavePicture(dialog.selectedFiles().constFirst()))
        QMessageBox::critical(this, QGuiApplication::applicationDisplayName(),
                              QStringLiteral("Could not save picture!"));
}

bool TFormVideo::SavePicture(const QString& fileName) {
    Paint();
    if (m_currentFrameIndex < 0)
        return true;
    if (m_doubleBuffered) {
        // Composed again: a hidden window does not paint, and the file must
        // hold the current picture all the same.
        if (IsVideoTicked())
            ComposeOffscreen();
        return SaveBitmap24(m_offscreenPicture, fileName);
    }
    QImage picture(ImageVideo->size(), QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    ImageVideoPaint(painter);
    painter.end();
    return SaveBitmap24(picture, fileName);
}

// --- Overlay shapes --------------------------------------------------------

void TFormVideo::ClearOverlays() {
    m_selectedOverlay = nullptr;
    m_overlays.clear();
}

void TFormVideo::AddRectangle(int32_t minX, int32_t minY, int32_t maxX, int32_t maxY, const QString& label,
                              const TEvent* event) {
    m_overlays.push_back(std::make_unique<TRectangle>(minX, minY, maxX, maxY, label, event));
}

void TFormVideo::AddPolygon(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                            int32_t x4, int32_t y4) {
    m_overlays.push_back(std::make_unique<TPolygon>(x1, y1, x2, y2, x3, y3, x4, y4));
}

void TFormVideo::AddArrow(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    m_overlays.push_back(std::make_unique<TArrow>(x1, y1, x2, y2, true));
}

void TFormVideo::AddLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    m_overlays.push_back(std::make_unique<TArrow>(x1, y1, x2, y2, false));
}

void TFormVideo::AddCircle(int32_t centerX, int32_t centerY, int32_t radius) {
    m_overlays.push_back(std::make_unique<TCircle>(centerX, centerY, radius));
}

void TFormVideo::AddEllipse(int32_t centerX, int32_t centerY, int32_t axisA, int32_t axisB,
                            float orientation) {
    m_overlays.push_back(std::make_unique<TEllipse>(centerX, centerY, axisA, axisB, orientation));
}
