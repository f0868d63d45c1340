// Mouse input of a video window: the left-button drag of mouse mode and the
// right-button move of a rectangle.
#include "views/form_video.h"

#include "views/video_host.h"

#include <QWidget>

TVideoPoint TFormVideo::ToVideoPoint(int32_t x, int32_t y) const {
    return PictureToVideo(x, y, ImageVideo->width(), ImageVideo->height(), m_videoWidth, m_videoHeight);
}

std::optional<TFormVideo::TRectangle> TFormVideo::DragPreview() const {
    if (!m_tracking || !m_host)
        return std::nullopt;
    return DragPreviewRectangle(m_host->MouseTemplateParameters(),
                                m_host->EventTypeName(m_host->MouseTemplateType()),
                                ToVideoPoint(m_mousePosition.x(), m_mousePosition.y()));
}

void TFormVideo::ImageVideoMouseDown(Qt::MouseButton button, int32_t x, int32_t y) {
    if (!m_host || !m_host->IsInserting() || !CheckBoxVideo->isEnabled() || !CheckBoxVideo->isChecked())
        return;
    if (m_host->IsMouseMode() && button == Qt::LeftButton) {
        m_host->DragStarted();
        m_tracking = true;
        m_mousePosition = QPoint(x, y);
        Paint();
        return;
    }
    if (button != Qt::RightButton)
        return;
    m_host->DragStarted();
    const TVideoPoint at = ToVideoPoint(x, y);
    const int32_t videoX = VideoOverlay::TruncToInt(at.X);
    const int32_t videoY = VideoOverlay::TruncToInt(at.Y);
    m_selectedOverlay = nullptr;
    int32_t best = VideoOverlay::NeverHit;
    for (const auto& shape : m_overlays) {
        const int32_t distance = shape->HitDistance(videoX, videoY);
        if (distance < best) {
            best = distance;
            m_selectedOverlay = shape.get();
        }
    }
    if (m_selectedOverlay)
        MoveSelectedOverlay(videoX, videoY);
}

void TFormVideo::ImageVideoMouseMove(Qt::MouseButtons held, int32_t x, int32_t y) {
    if (m_tracking && (held & Qt::LeftButton)) {
        m_mousePosition = QPoint(x, y);
        Paint();
    } else if (m_selectedOverlay && (held & Qt::RightButton)) {
        const TVideoPoint at = ToVideoPoint(x, y);
        MoveSelectedOverlay(VideoOverlay::TruncToInt(at.X), VideoOverlay::TruncToInt(at.Y));
    }
}

void TFormVideo::ImageVideoMouseUp(Qt::MouseButton button, int32_t x, int32_t y) {
    if (m_tracking && button == Qt::LeftButton) {
        m_mousePosition = QPoint(x, y);
        CommitMouseRegion();
        m_tracking = false;
        ImageVideo->update();
        if (m_host)
            m_host->DragEnded();
    } else if (button == Qt::RightButton) {
        m_selectedOverlay = nullptr;
        if (m_host)
            m_host->DragEnded();
    }
}

// The grid refill may rebuild this window's overlays (and so destroy the
// moved shape): nothing touches the shape after it.
void TFormVideo::MoveSelectedOverlay(int32_t x, int32_t y) {
    if (m_selectedOverlay->MoveTo(x, y) && m_host) {
        m_host->ChangeEventParameters(m_selectedOverlay->Event, m_selectedOverlay->Rewritten);
        m_host->FillEventGrid(false);
    }
    Paint();
}

void TFormVideo::CommitMouseRegion() {
    if (!m_tracking || !m_host)
        return;
    const TParameters parameters = MouseRegionParameters(
        m_host->MouseTemplateParameters(), Camera, ToVideoPoint(m_mousePosition.x(), m_mousePosition.y()));
    const TParameterNames ignored = MouseRegionIgnoredNames();
    m_host->RecordEventNow(m_host->MouseTemplateType(), m_host->MouseTemplateText(), &ignored, true,
                           parameters);
}

void TFormVideo::EndMouseInteraction() {
    Paint();
}
