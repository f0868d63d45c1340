#include "views/form_output.h"

#include "views/core/video_picture.h"
#include "views/form_video.h"

#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The image area paints the window's last rendering stretched over itself.
class TImageOutput final : public QWidget {
public:
    TImageOutput(const TFormOutput& form, QWidget* parent) : QWidget(parent), m_form(form) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QImage& picture = m_form.Picture();
        if (picture.isNull()) {
            painter.fillRect(rect(), palette().window());
            return;
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(rect(), picture);
    }

private:
    const TFormOutput& m_form;
};

constexpr int32_t DesignClientWidth = 320;
constexpr int32_t DesignClientHeight = 200;

} // namespace

TFormOutput::TFormOutput(QWidget* owner, TProject& project)
    : TSecondaryWindow(owner, QStringLiteral("Output"), QSize(DesignClientWidth, DesignClientHeight)),
      m_project(project) {
    CreateControls();
}

void TFormOutput::CreateControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 7, 7);
    MenuBar = new QMenuBar(this);
    layout->setMenuBar(MenuBar);
    // "Quoter" is the caption users know; keep it.
    Size1 = MenuBar->addMenu(QStringLiteral("Size"));
    const std::pair<QAction**, const char*> sizes[] = {
        {&Quoter1, "Quoter"}, {&Half1, "Half"}, {&Normal1, "Normal"}, {&Double1, "Double"}};
    for (int32_t level = ZoomQuarter; level <= ZoomDouble; ++level) {
        QAction* item = Size1->addAction(QString::fromLatin1(sizes[level].second));
        connect(item, &QAction::triggered, this, [this, level] { SetZoom(level); });
        *sizes[level].first = item;
    }
    ImageOutput = new TImageOutput(*this, this);
    layout->addWidget(ImageOutput);
    resize(DesignClientWidth, DesignClientHeight + MenuBar->sizeHint().height());
}

void TFormOutput::ComputeNormalSize() {
    QSize normal(0, 0);
    const int32_t count = m_sources.VideoCount ? m_sources.VideoCount() : 0;
    for (int32_t i = 0; i < count; ++i) {
        const TFormVideo& video = m_sources.Video(i);
        if (!video.HasVideo())
            continue;
        const TAVFile::TVideoFormat format = video.MediaFile()->GetVideoFormat();
        normal = normal.expandedTo(QSize(format.Width, format.Height));
    }
    m_normalSize = normal;
}

void TFormOutput::SetZoom(int32_t level) {
    if (m_normalSize.isEmpty())
        return;
    const QSize picture = ZoomPictureSize(level, true, m_normalSize.width(), m_normalSize.height());
    layout()->activate();
    // The margins as laid out now: the menu bar's height depends on the style.
    const QSize margins = size() - ImageOutput->size();
    resize(picture + margins);
}

int32_t TFormOutput::WindowForCamera(int32_t camera) const {
    const int32_t count = m_sources.VideoCount();
    for (int32_t i = 0; i < count; ++i) {
        const TFormVideo& video = m_sources.Video(i);
        if (video.HasVideo() && video.Camera == camera)
            return i;
    }
    return -1;
}

int32_t TFormOutput::WindowShownAt(int32_t cursor) const {
    const std::optional<TOutputChoice> choice = ChooseOutput(
        m_project, cursor, m_normalSize, [this](int32_t camera) { return WindowForCamera(camera); });
    return choice ? choice->Window : -1;
}

void TFormOutput::ShowCamera(int32_t camera) {
    if (camera == m_shownCamera && !windowTitle().isEmpty())
        return;
    m_shownCamera = camera;
    setWindowTitle(camera < 0 ? QStringLiteral("Output") : QStringLiteral("Output - Camera %1").arg(camera));
}

void TFormOutput::RenderOutput() {
    if (!isVisible() || !m_sources.EventCursor)
        return;
    const std::optional<TOutputChoice> choice =
        ChooseOutput(m_project, m_sources.EventCursor(), m_normalSize,
                     [this](int32_t camera) { return WindowForCamera(camera); });
    if (!choice) {
        m_picture = QImage();
        ShowCamera(-1);
    } else {
        RenderOutputPicture(m_picture, m_sources.Video(choice->Window).OffscreenPicture(), *choice);
        ShowCamera(choice->Camera);
    }
    ImageOutput->update();
}
