#include "views/core/video_picture.h"

#include "base/round_to_int.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <optional>

namespace {

constexpr int CaptionFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
constexpr int32_t CaptionMargin = 10;

} // namespace

int32_t ClampZoomLevel(int32_t level) {
    return std::clamp(level, ZoomQuarter, ZoomDouble);
}

QSize ZoomPictureSize(int32_t level, bool hasVideo, int32_t videoWidth, int32_t videoHeight) {
    if (!hasVideo)
        return QSize(160, 0);
    switch (ClampZoomLevel(level)) {
    case ZoomQuarter:
        return QSize(videoWidth / 4, videoHeight / 4);
    case ZoomHalf:
        return QSize(videoWidth / 2, videoHeight / 2);
    case ZoomNormal:
        return QSize(videoWidth, videoHeight);
    default:
        return QSize(2 * videoWidth, 2 * videoHeight);
    }
}

QSize GrowKeepingAspect(QSize picture, QSize minimum) {
    if (picture.width() <= 0 || picture.height() <= 0)
        return picture;
    const double scale = std::max(
        {1.0, double(minimum.width()) / picture.width(), double(minimum.height()) / picture.height()});
    if (scale == 1.0)
        return picture;
    return QSize(std::max(RoundToInt(picture.width() * scale), minimum.width()),
                 std::max(RoundToInt(picture.height() * scale), minimum.height()));
}

QImage WrapFrame(const uint8_t* frame, int32_t width, int32_t height) {
    if (!frame || width <= 0 || height <= 0)
        return QImage();
    // The const constructor never writes into the block nor copies it; the
    // byte order blue, green, red, x is RGB32 on a little-endian machine.
    return QImage(frame, width, height, static_cast<qsizetype>(width) * 4, QImage::Format_RGB32);
}

QRect CaptionRect(const QFontMetrics& metrics, const QString& text, int32_t surfaceWidth,
                  int32_t surfaceHeight) {
    const int32_t width = std::max(surfaceWidth - 2 * CaptionMargin, 0);
    const int32_t textHeight = metrics.boundingRect(QRect(0, 0, width, 0), CaptionFlags, text).height();
    return QRect(CaptionMargin, surfaceHeight - textHeight - CaptionMargin, width, textHeight);
}

void DrawCaption(QPainter& surface, const QString& text, int32_t surfaceWidth, int32_t surfaceHeight) {
    surface.setFont(VideoOverlay::LabelFont());
    const QRect band = CaptionRect(surface.fontMetrics(), text, surfaceWidth, surfaceHeight);
    surface.setPen(Qt::black);
    for (const QPoint shift : {QPoint(-1, -1), QPoint(1, -1), QPoint(-1, 1), QPoint(1, 1)})
        surface.drawText(band.translated(shift), CaptionFlags, text);
    surface.setPen(Qt::white);
    surface.drawText(band, CaptionFlags, text);
}

void ComposePicture(QPainter& surface, QSize surfaceSize, const TPictureContent& content) {
    const QRect target(QPoint(0, 0), surfaceSize);
    surface.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const double scaleX = content.VideoWidth > 0 ? double(surfaceSize.width()) / content.VideoWidth : 1.0;
    const double scaleY = content.VideoHeight > 0 ? double(surfaceSize.height()) / content.VideoHeight : 1.0;
    const std::optional<TRasterSurface> raster = TRasterSurface::Of(surface);
    const VideoOverlay::TDrawContext context{surface, scaleX, scaleY, raster ? &*raster : nullptr};
    const bool banded = content.Overlays && !content.Overlays->empty() && !content.Frame.isNull() &&
                        content.Frame.size() == surfaceSize &&
                        VideoOverlay::DrawFrameAndShapes(content.Frame, *content.Overlays, context);
    if (!banded) {
        if (!content.Frame.isNull())
            surface.drawImage(target, content.Frame);
        if (content.Overlays)
            VideoOverlay::DrawShapes(*content.Overlays, context);
    }
    if (content.Preview)
        content.Preview->Draw(context);
    if (!content.Caption.isEmpty())
        DrawCaption(surface, content.Caption, surfaceSize.width(), surfaceSize.height());
}

bool SaveBitmap24(const QImage& picture, const QString& path) {
    return picture.convertToFormat(QImage::Format_RGB888).save(path, "BMP");
}
