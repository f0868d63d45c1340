#pragma once
// The pixels behind an active QPainter, written directly where that gives
// the same picture: hundreds of tracked rectangles are drawn at every tick,
// and through the painter each of their many small fills pays far more for
// the call than for its pixels.
//
// Only a painter of Qt's raster engine drawing into a 32-bit image (RGB32 or
// premultiplied ARGB32, the widgets' backing store included) at a whole-pixel
// offset, without clipping, opacity or composition mode of its own, has such
// a surface; anything else is drawn through the painter. The writes honour
// the engine's system clip (the region a widget's paint event may touch) and
// the image bounds, so they land exactly where the painter's own would.
//
// Threads: the UI thread, only while the painter stays active and unchanged.

#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QVarLengthArray>

#include <cstdint>
#include <optional>

class TRasterSurface {
public:
    // The surface of painter, or none when it must be drawn through the
    // painter (see above).
    static std::optional<TRasterSurface> Of(QPainter& painter);

    // The pixels QPainter::fillRect(rect, colour) covers, in the painter's
    // coordinates, set to the opaque colour.
    void Fill(const QRect& rect, QRgb colour) const;
    // Asks the memory for the pixels of rect ahead of writing them: a frame
    // just copied onto a large surface has pushed most of it out of the
    // cache, and the scattered rows of many small shapes otherwise wait for
    // it one row at a time.
    void Prefetch(const QRect& rect) const;
    // Whether anything of rect (painter coordinates) can be drawn.
    bool Touches(const QRect& rect) const { return rect.translated(m_offset).intersects(m_clipBounds); }

    // The rows of `rows` (painter coordinates) of an RGB32 picture drawn at
    // the painter's origin, as QPainter::drawImage copies them onto an RGB32
    // surface: byte for byte. Only for an RGB32 surface (IsRgb32).
    void CopyRows(const QImage& picture, const QRect& rows) const;
    bool IsRgb32() const { return m_isRgb32; }

private:
    TRasterSurface(uchar* bits, qsizetype bytesPerLine, QPoint offset, bool isRgb32)
        : m_bits(bits), m_bytesPerLine(bytesPerLine), m_offset(offset), m_isRgb32(isRgb32) {}
    QRgb* Row(int32_t y) const { return reinterpret_cast<QRgb*>(m_bits + y * m_bytesPerLine); }

    uchar* m_bits;
    qsizetype m_bytesPerLine;
    // Painter coordinates to image pixels.
    QPoint m_offset;
    bool m_isRgb32;
    // Image pixels that may be written: the system clip within the image.
    QVarLengthArray<QRect, 4> m_clip;
    QRect m_clipBounds;
};
