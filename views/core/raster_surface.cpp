#include "views/core/raster_surface.h"

#include <QPaintEngine>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool IsWholePixelOffset(const QTransform& transform) {
    return transform.type() <= QTransform::TxTranslate && transform.dx() == std::floor(transform.dx()) &&
           transform.dy() == std::floor(transform.dy()) && std::abs(transform.dx()) < (1 << 24) &&
           std::abs(transform.dy()) < (1 << 24);
}

} // namespace

std::optional<TRasterSurface> TRasterSurface::Of(QPainter& painter) {
    if (!painter.isActive() || painter.hasClipping() || painter.opacity() != 1.0 ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return std::nullopt;
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !engine->paintDevice() ||
        engine->paintDevice()->devType() != QInternal::Image)
        return std::nullopt;
    // The engine draws into this very image (it detached it when painting
    // began); a shared one would be copied by writing, away from the engine.
    auto* image = static_cast<QImage*>(engine->paintDevice());
    if (image->isNull() || !image->isDetached() ||
        (image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32_Premultiplied))
        return std::nullopt;
    const QTransform transform = painter.deviceTransform();
    if (!IsWholePixelOffset(transform))
        return std::nullopt;
    TRasterSurface surface(image->bits(), image->bytesPerLine(),
                           QPoint(static_cast<int>(transform.dx()), static_cast<int>(transform.dy())),
                           image->format() == QImage::Format_RGB32);
    const QRect bounds = image->rect();
    const QRegion systemClip = engine->systemClip();
    if (systemClip.isEmpty())
        surface.m_clip.push_back(bounds);
    else
        for (const QRect& rect : systemClip)
            if (const QRect inside = rect & bounds; !inside.isEmpty())
                surface.m_clip.push_back(inside);
    for (const QRect& rect : surface.m_clip)
        surface.m_clipBounds |= rect;
    return surface;
}

void TRasterSurface::Fill(const QRect& rect, QRgb colour) const {
    const QRect target = rect.translated(m_offset);
    const QRgb pixel = colour | 0xff000000;
    for (const QRect& clip : m_clip) {
        const QRect area = target & clip;
        for (int32_t y = area.top(); y <= area.bottom(); ++y)
            std::fill_n(Row(y) + area.left(), area.width(), pixel);
    }
}

void TRasterSurface::Prefetch(const QRect& rect) const {
    constexpr int32_t PixelsPerLine = 64 / sizeof(QRgb);
    const QRect target = rect.translated(m_offset) & m_clipBounds;
    if (target.isEmpty())
        return;
    for (int32_t y = target.top(); y <= target.bottom(); ++y) {
        QRgb* row = Row(y);
        for (int32_t x = target.left(); x <= target.right(); x += PixelsPerLine)
            __builtin_prefetch(row + x, 1);
        __builtin_prefetch(row + target.right(), 1);
    }
}

void TRasterSurface::CopyRows(const QImage& picture, const QRect& rows) const {
    const QRect target = (rows & picture.rect()).translated(m_offset);
    for (const QRect& clip : m_clip) {
        const QRect area = target & clip;
        if (area.isEmpty())
            continue;
        const size_t bytes = static_cast<size_t>(area.width()) * sizeof(QRgb);
        for (int32_t y = area.top(); y <= area.bottom(); ++y) {
            const auto* source = reinterpret_cast<const QRgb*>(picture.constScanLine(y - m_offset.y()));
            std::memcpy(Row(y) + area.left(), source + (area.left() - m_offset.x()), bytes);
        }
    }
}
