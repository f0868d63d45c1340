#include "views/core/output_picture.h"

#include "views/core/overlay_shapes.h"

#include <QPainter>

#include <cstring>

namespace {

// A picture of the source's size and format, reusing output's pixels.
void MatchPicture(QImage& output, const QImage& source) {
    if (output.size() != source.size() || output.format() != source.format())
        output = QImage(source.size(), source.format());
}

} // namespace

std::optional<TOutputChoice> ChooseOutput(const TProject& project, int32_t cursor, QSize normalSize,
                                          const TCameraWindowFinder& windowFor) {
    const int32_t outputType = project.EventTypes.FindBuiltInType(BuiltInOutput);
    const TEvents& events = project.Events();
    if (outputType < 0 || cursor < 0 || static_cast<std::size_t>(cursor) >= events.Count())
        return std::nullopt;
    for (int32_t i = cursor; i >= 0; --i) {
        const TEvent& event = *events[static_cast<std::size_t>(i)];
        if (event.EventType != outputType)
            continue;
        TOutputChoice choice;
        if (!event.Parameters.GetIntParameter(QStringLiteral("Camera"), choice.Camera) || choice.Camera < 0)
            continue;
        float ratio = 1;
        event.Parameters.GetFloatParameter(QStringLiteral("ZoomRatio"), ratio);
        choice.ZoomRatio = ratio;
        choice.ZoomCenterX = normalSize.width() / 2;
        choice.ZoomCenterY = normalSize.height() / 2;
        event.Parameters.GetIntParameter(QStringLiteral("ZoomCenterX"), choice.ZoomCenterX);
        event.Parameters.GetIntParameter(QStringLiteral("ZoomCenterY"), choice.ZoomCenterY);
        choice.Window = windowFor(choice.Camera);
        if (choice.Window >= 0)
            return choice;
    }
    return std::nullopt;
}

QRectF ZoomSourceRect(QSize pictureSize, double ratio, int32_t centerX, int32_t centerY) {
    if (!(ratio > 0))
        return QRectF();
    const double halfWidth = (pictureSize.width() / 2) / ratio;
    const double halfHeight = (pictureSize.height() / 2) / ratio;
    const int32_t left = VideoOverlay::TruncToInt(centerX - halfWidth);
    const int32_t right = VideoOverlay::TruncToInt(centerX + halfWidth);
    const int32_t top = VideoOverlay::TruncToInt(centerY - halfHeight);
    const int32_t bottom = VideoOverlay::TruncToInt(centerY + halfHeight);
    // In double: a tiny ratio saturates the edges, and their distance would
    // not fit an int.
    return QRectF(left, top, double(right) - left, double(bottom) - top);
}

void RenderOutputPicture(QImage& output, const QImage& source, const TOutputChoice& choice) {
    MatchPicture(output, source);
    if (source.isNull())
        return;
    if (choice.ZoomRatio == 1) {
        // Pixels copied into our own storage: sharing the source would make
        // the video window copy its picture at its next paint instead.
        std::memcpy(output.bits(), source.constBits(), static_cast<std::size_t>(source.sizeInBytes()));
        return;
    }
    output.fill(Qt::black);
    const QRectF from =
        ZoomSourceRect(source.size(), choice.ZoomRatio, choice.ZoomCenterX, choice.ZoomCenterY);
    if (!(from.width() > 0 && from.height() > 0))
        return;
    QPainter painter(&output);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // The painter clips a source rectangle reaching outside the picture and
    // shrinks the target with it, so what lies outside stays black.
    painter.drawImage(QRectF(output.rect()), source, from);
}

const QImage& FitOutputFrame(const QImage& picture, QSize frameSize, QImage& frame) {
    if (picture.size() == frameSize && picture.format() == QImage::Format_RGB32)
        return picture;
    if (frame.size() != frameSize || frame.format() != QImage::Format_RGB32)
        frame = QImage(frameSize, QImage::Format_RGB32);
    frame.fill(Qt::black);
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0)
        return frame;
    const QSize fitted = picture.size().scaled(frameSize, Qt::KeepAspectRatio);
    const QRect target(
        QPoint((frameSize.width() - fitted.width()) / 2, (frameSize.height() - fitted.height()) / 2), fitted);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, picture);
    return frame;
}
