#include "views/form_time_line.h"

#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>

#include <utility>

namespace {

// The drawing area shows the picture its window composed.
class TTimelinePaintBox final : public QWidget {
public:
    TTimelinePaintBox(QWidget* parent, std::function<void(QPainter&)> paint)
        : QWidget(parent), m_paint(std::move(paint)) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        m_paint(painter);
    }

private:
    std::function<void(QPainter&)> m_paint;
};

constexpr int ZoomMaximum = 1000;

} // namespace

TFormTimeLine::TFormTimeLine(QWidget* owner, TProject& project)
    : TSecondaryWindow(owner, QStringLiteral("Time line"), QSize(592, 273)), m_project(project),
      m_rows(project) {
    // The outer minimum is 220 x 170; a usual frame takes 8 x 27 of it.
    setMinimumSize(212, 143);
    PaintBox = new TTimelinePaintBox(this, [this](QPainter& painter) { PaintBoxPaint(painter); });
    LabelTime = new QLabel(QStringLiteral("Time"), this);
    ScrollBarPosition = new QScrollBar(Qt::Horizontal, this);
    LabelZoom = new QLabel(QStringLiteral("Zoom"), this);
    ScrollBarZoom = new QScrollBar(Qt::Horizontal, this);
    ScrollBarPosition->setRange(0, 0);
    ScrollBarZoom->setRange(0, ZoomMaximum);
    ScrollBarZoom->setValue(ZoomMaximum);
    connect(ScrollBarPosition, &QScrollBar::valueChanged, this, [this] { ScrollBarPositionChange(); });
    connect(ScrollBarZoom, &QScrollBar::valueChanged, this, [this] { ScrollBarPositionChange(); });
    m_project.AddListener(this);
}

TFormTimeLine::~TFormTimeLine() {
    m_project.RemoveListener(this);
}

void TFormTimeLine::resizeEvent(QResizeEvent* event) {
    TSecondaryWindow::resizeEvent(event);
    // The design's anchors: the drawing area stretches both ways, the
    // position bar along the bottom, the zoom bar keeps to the bottom right.
    const int width = event->size().width();
    const int height = event->size().height();
    PaintBox->setGeometry(8, 8, std::max(width - 16, 1), std::max(height - 56, 1));
    LabelTime->move(8, height - 41);
    ScrollBarPosition->setGeometry(8, height - 25, std::max(width - 144, 1), 16);
    LabelZoom->move(width - 130, height - 41);
    ScrollBarZoom->setGeometry(width - 129, height - 25, 121, 16);
    m_isPictureCurrent = false;
}

void TFormTimeLine::showEvent(QShowEvent* event) {
    TSecondaryWindow::showEvent(event);
    if (event->spontaneous())
        return;
    if (!m_hasBeenShown && parentWidget()) {
        m_hasBeenShown = true;
        move(parentWidget()->frameGeometry().center() - frameGeometry().center() + pos());
    }
    FormShow();
}

void TFormTimeLine::hideEvent(QHideEvent* event) {
    TSecondaryWindow::hideEvent(event);
    if (!event->spontaneous()) {
        m_rows.Clear();
        m_labelWidths.clear();
    }
}

void TFormTimeLine::FormShow() {
    m_labelWidths.clear();
    m_rows.Rebuild();
    const TTimelineSlider slider = m_slider ? m_slider() : TTimelineSlider{};
    {
        const QSignalBlocker blocker(ScrollBarPosition);
        ScrollBarPosition->setRange(slider.Minimum, slider.Maximum);
        ScrollBarPosition->setPageStep(slider.PageSize);
        ScrollBarPosition->setValue(slider.Minimum);
    }
    {
        const QSignalBlocker blocker(ScrollBarZoom);
        ScrollBarZoom->setValue(ScrollBarZoom->maximum());
    }
    m_isPictureCurrent = false;
    PaintBox->update();
}

void TFormTimeLine::SliderRangeChanged(const TTimelineSlider& slider) {
    if (ScrollBarPosition->minimum() == slider.Minimum && ScrollBarPosition->maximum() == slider.Maximum &&
        ScrollBarPosition->pageStep() == slider.PageSize)
        return;
    {
        const QSignalBlocker blocker(ScrollBarPosition);
        ScrollBarPosition->setRange(slider.Minimum, slider.Maximum);
        ScrollBarPosition->setPageStep(slider.PageSize);
    }
    RepaintTimeline();
}

void TFormTimeLine::RebuildRows() {
    if (isVisible())
        m_rows.Rebuild();
}

void TFormTimeLine::RefreshTimeline() {
    if (!isVisible())
        return;
    m_labelWidths.clear();
    m_rows.Rebuild();
    Paint(TRecentre::No);
}

void TFormTimeLine::AddEventToTimeline(const TEvent* event) {
    if (!isVisible())
        return;
    m_rows.Add(event);
    Paint(TRecentre::No);
}

void TFormTimeLine::RemoveEventFromTimeline(const TEvent* event) {
    // Also while hidden: the address may come back for another event.
    m_labelWidths.erase(event);
    if (isVisible() && m_rows.Remove(event))
        Paint(TRecentre::No);
}

void TFormTimeLine::ClearTimeline() {
    m_labelWidths.clear();
    if (!isVisible())
        return;
    m_rows.Clear();
    Paint(TRecentre::No);
}

void TFormTimeLine::RepaintTimeline() {
    if (isVisible())
        Paint(TRecentre::No);
}

void TFormTimeLine::LabelsChanged() {
    m_labelWidths.clear();
    RepaintTimeline();
}

void TFormTimeLine::SetTimelinePosition(int32_t positionMs) {
    m_timelinePositionMs = positionMs;
    if (isVisible())
        Paint(TRecentre::Yes);
}

void TFormTimeLine::ScrollBarPositionChange() {
    RepaintTimeline();
}

void TFormTimeLine::Paint(TRecentre recentre) {
    // Recentring moves the position bar, so it happens now. Anything else
    // only marks the picture stale: a thousand events inserted in one go
    // (an import, a document) then cost one composition at the next paint,
    // not a thousand.
    if (recentre == TRecentre::No) {
        m_isPictureCurrent = false;
        PaintBox->update();
        return;
    }
    if (Compose(recentre))
        PaintBox->update();
}

const QImage& TFormTimeLine::Picture() {
    if (!m_isPictureCurrent)
        Compose(TRecentre::No);
    return m_picture;
}

const TTimelineGeometry& TFormTimeLine::Geometry() {
    if (!m_isPictureCurrent)
        Compose(TRecentre::No);
    return m_geometry;
}

bool TFormTimeLine::Compose(TRecentre recentre) {
    if (m_isPainting)
        return false;
    m_isPainting = true;
    const QSize size = PaintBox->size();
    if (m_picture.size() != size)
        m_picture = QImage(size, QImage::Format_RGB32);
    TTimelineView view;
    view.ZoomPosition = ScrollBarZoom->value();
    view.ZoomMaximum = ScrollBarZoom->maximum();
    view.PositionMinimum = ScrollBarPosition->minimum();
    view.PositionMaximum = ScrollBarPosition->maximum();
    view.Position = ScrollBarPosition->value();
    view.TimelinePosition = m_timelinePositionMs;
    {
        QPainter painter(&m_picture);
        painter.setFont(font());
        if (m_labelFont != font()) {
            m_labelFont = font();
            m_labelWidths.clear();
        }
        m_geometry = PaintTimeline(painter, size, m_rows, m_project, view, recentre, &m_labelWidths);
    }
    // The bar reports the move, and the paint it asks for is dropped here:
    // the picture already shows the new position.
    if (recentre == TRecentre::Yes)
        ScrollBarPosition->setValue(view.Position);
    m_isPictureCurrent = true;
    m_isPainting = false;
    ++m_compositions;
    return true;
}

void TFormTimeLine::PaintBoxPaint(QPainter& painter) {
    if (!m_isPictureCurrent || m_picture.size() != PaintBox->size())
        Compose(TRecentre::No);
    painter.drawImage(0, 0, m_picture);
}
