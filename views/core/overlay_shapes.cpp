#include "views/core/overlay_shapes.h"

#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QPaintDevice>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <numbers>
#include <optional>
#include <typeinfo>
#include <vector>

namespace VideoOverlay {

namespace {

// Surface coordinates are kept within this bound so the small offsets added
// while drawing (label outline, extents) cannot overflow and the painter's
// fixed-point rasteriser stays within its precision. No real surface comes
// near it.
constexpr int32_t SurfaceLimit = 1 << 24;

int32_t ToSurface(double value) {
    return std::clamp(TruncToInt(value), -SurfaceLimit, SurfaceLimit);
}

QPoint SurfacePoint(double x, double y) {
    return QPoint(ToSurface(x), ToSurface(y));
}

int32_t SaturateToInt(int64_t value) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// Both passes of an outline: the wide outer pen first, the thin black one on
// top of it. Only a rectangle shows selection; the other shapes are never
// picked by a click.
template <typename TOutline> void DrawTwoPasses(QPainter& surface, bool selected, TOutline outline) {
    surface.setBrush(Qt::NoBrush);
    surface.setPen(OuterPen(selected));
    outline();
    surface.setPen(InnerPen());
    outline();
}

// A frame `thickness` pixels wide inside `outer`, as four filled bands:
// the pixels a square pen of that width with mitred corners covers along an
// axis-parallel rectangle, for a fraction of the cost of stroking (hundreds
// of tracked rectangles are drawn at every tick).
template <typename TFill> void FillFrame(const QRect& outer, int32_t thickness, TFill fill) {
    if (outer.width() <= 2 * thickness || outer.height() <= 2 * thickness) {
        fill(outer);
        return;
    }
    const int32_t innerHeight = outer.height() - 2 * thickness;
    fill(QRect(outer.left(), outer.top(), outer.width(), thickness));
    fill(QRect(outer.left(), outer.bottom() - thickness + 1, outer.width(), thickness));
    fill(QRect(outer.left(), outer.top() + thickness, thickness, innerHeight));
    fill(QRect(outer.right() - thickness + 1, outer.top() + thickness, thickness, innerHeight));
}

// The outline runs through both corner pixels, so a rectangle and a shape
// drawn to the same corners line up: the outer pass covers one pixel on
// either side of that line, the inner pass the line itself. The colours
// are those of OuterPen and InnerPen.
QRect OuterBox(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    return QRect(QPoint(x0 - 1, y0 - 1), QPoint(x1 + 1, y1 + 1));
}

// On a raster surface, only the part of the box inside `within`.
void FillBox(const TRasterSurface& raster, bool selected, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
             const QRect& within) {
    const QRect outerBox = OuterBox(x0, y0, x1, y1);
    if (!raster.Touches(outerBox))
        return;
    const QRgb outerColour = QColor(selected ? Qt::red : Qt::white).rgb();
    const QRgb innerColour = QColor(Qt::black).rgb();
    FillFrame(outerBox, 3, [&](const QRect& band) { raster.Fill(band & within, outerColour); });
    FillFrame(QRect(QPoint(x0, y0), QPoint(x1, y1)), 1,
              [&](const QRect& band) { raster.Fill(band & within, innerColour); });
}

// Beyond every surface coordinate (see SurfaceLimit), so a band reaching
// to it leaves nothing of a shape out.
constexpr int32_t Everywhere = 1 << 26;

void DrawBox(const TDrawContext& context, bool selected, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    if (const TRasterSurface* raster = context.Raster) {
        FillBox(*raster, selected, x0, y0, x1, y1,
                QRect(QPoint(-Everywhere, -Everywhere), QPoint(Everywhere, Everywhere)));
        return;
    }
    // A solid fill of a colour changes no painter state, the cheapest call
    // there is.
    const Qt::GlobalColor outer = selected ? Qt::red : Qt::white;
    QPainter& surface = context.Surface;
    FillFrame(OuterBox(x0, y0, x1, y1), 3, [&](const QRect& band) { surface.fillRect(band, outer); });
    FillFrame(QRect(QPoint(x0, y0), QPoint(x1, y1)), 1,
              [&](const QRect& band) { surface.fillRect(band, Qt::black); });
}

// Margin around the text in a label picture: the outline and the glyphs'
// overhang.
constexpr int32_t LabelMargin = 4;

void DrawTextAt(QPainter& surface, int32_t left, int32_t top, const QString& text) {
    surface.drawText(QPoint(left, top + surface.fontMetrics().ascent()), text);
}

struct TLabelPicture {
    QImage Picture;     // only the label's own pixels
    QPoint Offset;      // of Picture from the black text's box
    int32_t TextHeight; // h
};

using TLabelPicturePointer = std::shared_ptr<const TLabelPicture>;

// The box of the pixels a label picture covers, so blending skips its
// transparent margin.
QRect CoveredBox(const QImage& picture) {
    QRect box;
    for (int y = 0; y < picture.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            if (qAlpha(row[x]) != 0)
                box = box.united(QRect(x, y, 1, 1));
    }
    return box;
}

// The label, white outline and black text, drawn once into a transparent
// picture, then cut to the pixels it covers.
TLabelPicturePointer MakeLabelPicture(const QString& label, int dpi) {
    QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
    const int dotsPerMeter = qRound(dpi / 0.0254);
    probe.setDotsPerMeterX(dotsPerMeter);
    probe.setDotsPerMeterY(dotsPerMeter);
    const QFontMetrics metrics(LabelFont(), &probe);
    QImage picture(metrics.horizontalAdvance(label) + 2 * LabelMargin + 4, metrics.height() + 2 * LabelMargin,
                   QImage::Format_ARGB32_Premultiplied);
    picture.setDotsPerMeterX(dotsPerMeter);
    picture.setDotsPerMeterY(dotsPerMeter);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setFont(LabelFont());
        painter.setPen(Qt::white);
        for (const QPoint shift : {QPoint(-1, -1), QPoint(1, -1), QPoint(-1, 1), QPoint(1, 1)})
            DrawTextAt(painter, LabelMargin + shift.x(), LabelMargin + shift.y(), label);
        painter.setPen(Qt::black);
        DrawTextAt(painter, LabelMargin, LabelMargin, label);
    }
    const QRect box = CoveredBox(picture);
    return std::make_shared<const TLabelPicture>(
        TLabelPicture{picture.copy(box), box.topLeft() - QPoint(LabelMargin, LabelMargin), metrics.height()});
}

// Laying out text is what a label costs; the same labels come back at every
// tick (the overlays are rebuilt from the events), so their pictures are
// kept. Shared, so a picture in use outlives a clearing of the cache. Used
// from the UI thread only, like all drawing here.
TLabelPicturePointer LabelPicture(const QString& label, int dpi) {
    struct TCache {
        int Dpi = 0;
        QHash<QString, TLabelPicturePointer> Pictures;
    };
    static TCache cache;
    constexpr qsizetype MaxPictures = 4096;
    if (cache.Dpi != dpi || cache.Pictures.size() >= MaxPictures) {
        cache.Pictures.clear();
        cache.Dpi = dpi;
    }
    auto found = cache.Pictures.find(label);
    if (found == cache.Pictures.end())
        found = cache.Pictures.insert(label, MakeLabelPicture(label, dpi));
    return *found;
}

int SurfaceDpi(const QPainter& surface) {
    return surface.device() ? surface.device()->logicalDpiY() : 96;
}

// Where a rectangle and its label land on the surface.
struct TPlacedRectangle {
    int32_t X0, Y0, X1, Y1;
    TLabelPicturePointer Label; // none without a label
    // The label's top-left: the black text's box starts at (x0, y0 - h - 1),
    // h the text height, just above the rectangle's top-left corner.
    QPoint LabelAt;
};

TPlacedRectangle Place(const TRectangle& rectangle, const TDrawContext& context, int dpi) {
    TPlacedRectangle placed{};
    placed.X0 = ToSurface(std::min(rectangle.MinX, rectangle.MaxX) * context.ScaleX);
    placed.X1 = ToSurface(std::max(rectangle.MinX, rectangle.MaxX) * context.ScaleX);
    placed.Y0 = ToSurface(std::min(rectangle.MinY, rectangle.MaxY) * context.ScaleY);
    placed.Y1 = ToSurface(std::max(rectangle.MinY, rectangle.MaxY) * context.ScaleY);
    if (!rectangle.Label.isEmpty()) {
        placed.Label = LabelPicture(rectangle.Label, dpi);
        placed.LabelAt = QPoint(placed.X0, placed.Y0 - placed.Label->TextHeight - 1) + placed.Label->Offset;
    }
    return placed;
}

void DrawPlaced(const TPlacedRectangle& placed, bool selected, const TDrawContext& context) {
    DrawBox(context, selected, placed.X0, placed.Y0, placed.X1, placed.Y1);
    if (placed.Label && !placed.Label->Picture.isNull())
        context.Surface.drawImage(placed.LabelAt, placed.Label->Picture);
}

// The rows of a label inside `within`, blended by the painter (its blend is
// vectorised for the processor at hand).
void DrawLabelRows(QPainter& surface, const TPlacedRectangle& placed, const QRect& within) {
    const QImage& picture = placed.Label->Picture;
    const int32_t first = std::max(within.top() - placed.LabelAt.y(), 0);
    const int32_t last = std::min(within.bottom() - placed.LabelAt.y(), picture.height() - 1);
    if (first > last)
        return;
    surface.drawImage(QPoint(placed.LabelAt.x(), placed.LabelAt.y() + first), picture,
                      QRect(0, first, picture.width(), last - first + 1));
}

void Prefetch(const TPlacedRectangle& placed, const TRasterSurface& raster) {
    FillFrame(OuterBox(placed.X0, placed.Y0, placed.X1, placed.Y1), 3,
              [&](const QRect& band) { raster.Prefetch(band); });
    if (placed.Label)
        raster.Prefetch(QRect(placed.LabelAt, placed.Label->Picture.size()));
}

void PrefetchPicture(const QImage& picture) {
    const uchar* bits = picture.constBits();
    const qsizetype bytes = picture.sizeInBytes();
    for (qsizetype offset = 0; offset < bytes; offset += 64)
        __builtin_prefetch(bits + offset);
}

const TRectangle* AsRectangle(const TDrawable& shape) {
    return typeid(shape) == typeid(TRectangle) ? static_cast<const TRectangle*>(&shape) : nullptr;
}

} // namespace

int32_t TruncToInt(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

QPen OuterPen(bool selected) {
    return QPen(selected ? Qt::red : Qt::white, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
}

QPen InnerPen() {
    return QPen(Qt::black, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
}

QFont LabelFont() {
    QFont font(QStringLiteral("Arial"), 12);
    font.setBold(true);
    return font;
}

int32_t TDrawable::HitDistance(int32_t, int32_t) const {
    return NeverHit;
}

bool TDrawable::MoveTo(int32_t, int32_t) {
    return false;
}

void TRectangle::Draw(const TDrawContext& context) const {
    DrawPlaced(Place(*this, context, SurfaceDpi(context.Surface)), Selected, context);
}

void DrawShapes(std::span<const std::unique_ptr<TDrawable>> shapes, const TDrawContext& context) {
    if (!context.Raster) {
        for (const auto& shape : shapes)
            shape->Draw(context);
        return;
    }
    // Each rectangle asks for the pixels of the next one before it is drawn,
    // so the memory brings them while it draws: right after a large frame
    // was copied, most of the surface is out of the cache.
    const int dpi = SurfaceDpi(context.Surface);
    const auto placeAndPrefetch = [&](size_t index) -> std::optional<TPlacedRectangle> {
        if (index >= shapes.size())
            return std::nullopt;
        const TRectangle* rectangle = AsRectangle(*shapes[index]);
        if (!rectangle)
            return std::nullopt;
        TPlacedRectangle placed = Place(*rectangle, context, dpi);
        Prefetch(placed, *context.Raster);
        return placed;
    };
    std::optional<TPlacedRectangle> next = placeAndPrefetch(0);
    for (size_t i = 0; i < shapes.size(); ++i) {
        const std::optional<TPlacedRectangle> current = std::move(next);
        next = placeAndPrefetch(i + 1);
        if (current)
            DrawPlaced(*current, shapes[i]->Selected, context);
        else
            shapes[i]->Draw(context);
    }
}

bool DrawFrameAndShapes(const QImage& frame, std::span<const std::unique_ptr<TDrawable>> shapes,
                        const TDrawContext& context) {
    const TRasterSurface* raster = context.Raster;
    if (!raster || !raster->IsRgb32() || frame.format() != QImage::Format_RGB32)
        return false;
    const int dpi = SurfaceDpi(context.Surface);
    struct TBanded {
        TPlacedRectangle Placed;
        bool Selected;
        int32_t Top, Bottom; // rows of the box and its label
    };
    std::vector<TBanded> rectangles;
    size_t first = 0;
    for (; first < shapes.size(); ++first) {
        const TRectangle* rectangle = AsRectangle(*shapes[first]);
        if (!rectangle)
            break;
        TBanded banded{Place(*rectangle, context, dpi), rectangle->Selected, 0, 0};
        const TPlacedRectangle& placed = banded.Placed;
        QRect extent = OuterBox(placed.X0, placed.Y0, placed.X1, placed.Y1);
        if (placed.Label)
            extent |= QRect(placed.LabelAt, placed.Label->Picture.size());
        banded.Top = extent.top();
        banded.Bottom = extent.bottom();
        rectangles.push_back(std::move(banded));
    }
    // A band's rows (5 KB each at 1280 pixels) stay well inside the cache
    // nearest the core while its shapes are drawn.
    constexpr int32_t BandRows = 32;
    const int32_t height = frame.height();
    for (int32_t top = 0; top < height; top += BandRows) {
        const int32_t bottom = std::min(top + BandRows, height) - 1;
        // The first and the last band also take whatever of a shape lies
        // above or below the frame.
        const QRect within(QPoint(-Everywhere, top == 0 ? -Everywhere : top),
                           QPoint(Everywhere, bottom == height - 1 ? Everywhere : bottom));
        raster->CopyRows(frame, QRect(0, top, frame.width(), bottom - top + 1));
        for (const TBanded& banded : rectangles) {
            // The label pictures of the next band are asked of the memory
            // now: hundreds of them are read once per tick, and the frames
            // copied meanwhile have pushed them out of the cache.
            if (banded.Top > bottom && banded.Top <= bottom + BandRows && banded.Placed.Label)
                PrefetchPicture(banded.Placed.Label->Picture);
            if (banded.Bottom < within.top() || banded.Top > within.bottom())
                continue;
            const TPlacedRectangle& placed = banded.Placed;
            FillBox(*raster, banded.Selected, placed.X0, placed.Y0, placed.X1, placed.Y1, within);
            if (placed.Label && !placed.Label->Picture.isNull())
                DrawLabelRows(context.Surface, placed, within);
        }
    }
    DrawShapes(shapes.subspan(first), context);
    return true;
}

int32_t TRectangle::HitDistance(int32_t x, int32_t y) const {
    if (x < MinX || x > MaxX || y < MinY || y > MaxY)
        return NeverHit;
    // 64-bit: the extent of a rectangle typed by the user may exceed int32.
    const int64_t distance = std::min({std::llabs(int64_t{y} - MaxY), std::llabs(int64_t{y} - MinY),
                                       std::llabs(int64_t{x} - MaxX), std::llabs(int64_t{x} - MinX)});
    return SaturateToInt(distance);
}

bool TRectangle::MoveTo(int32_t x, int32_t y) {
    const int64_t width = int64_t{MaxX} - MinX;
    const int64_t height = int64_t{MaxY} - MinY;
    MinX = SaturateToInt(x - width / 2);
    MaxX = SaturateToInt(x + width / 2);
    MinY = SaturateToInt(y - height / 2);
    MaxY = SaturateToInt(y + height / 2);
    if (!Event)
        return false;
    Rewritten = Event->Parameters;
    const std::pair<const char*, int32_t> values[] = {{"MinX", MinX}, {"MaxX", MaxX}, {"MinY", MinY},
                                                      {"MaxY", MaxY}, {"CenterX", x}, {"CenterY", y}};
    for (const auto& [name, value] : values)
        if (TParameter* pair = Rewritten.FindParameter(QString::fromLatin1(name)))
            pair->Value = QString::number(value);
    return true;
}

void TPolygon::Draw(const TDrawContext& context) const {
    QPolygon outline;
    outline << SurfacePoint(X1 * context.ScaleX, Y1 * context.ScaleY)
            << SurfacePoint(X2 * context.ScaleX, Y2 * context.ScaleY)
            << SurfacePoint(X3 * context.ScaleX, Y3 * context.ScaleY)
            << SurfacePoint(X4 * context.ScaleX, Y4 * context.ScaleY);
    QPainter& surface = context.Surface;
    DrawTwoPasses(surface, false, [&] { surface.drawPolygon(outline); });
}

void TArrow::Draw(const TDrawContext& context) const {
    // In double: the difference of two int32 values may not fit one.
    const double dx = static_cast<double>(X1) - X2;
    const double dy = static_cast<double>(Y1) - Y2;
    const double length = std::sqrt(dx * dx + dy * dy);
    if (length == 0)
        return;
    // The head's direction comes from video pixels, its size from the surface.
    const double ux = dx / length;
    const double uy = dy / length;
    const double ex = X2 * context.ScaleX;
    const double ey = Y2 * context.ScaleY;
    const double bx = X1 * context.ScaleX;
    const double by = Y1 * context.ScaleY;
    constexpr double HeadSize = 10;
    const double cx = ux * HeadSize + ex;
    const double cy = uy * HeadSize + ey;
    const QPoint begin = SurfacePoint(bx, by);
    const QPoint end = SurfacePoint(ex, ey);
    const QPoint barb1 = SurfacePoint(cx - uy * HeadSize * 0.5, cy + ux * HeadSize * 0.5);
    const QPoint barb2 = SurfacePoint(cx + uy * HeadSize * 0.5, cy - ux * HeadSize * 0.5);
    QPainter& surface = context.Surface;
    DrawTwoPasses(surface, false, [&] {
        surface.drawLine(begin, end);
        if (Head) {
            surface.drawLine(end, barb1);
            surface.drawLine(end, barb2);
        }
    });
}

void TCircle::Draw(const TDrawContext& context) const {
    const double cx = CenterX * context.ScaleX;
    const double rx = Radius * context.ScaleX;
    const double cy = CenterY * context.ScaleY;
    const double ry = Radius * context.ScaleY;
    const QPoint topLeft = SurfacePoint(cx - rx, cy - ry);
    const QPoint bottomRight = SurfacePoint(cx + rx, cy + ry);
    QPainter& surface = context.Surface;
    DrawTwoPasses(surface, false, [&] {
        surface.drawEllipse(topLeft.x(), topLeft.y(), bottomRight.x() - topLeft.x(),
                            bottomRight.y() - topLeft.y());
    });
}

QPolygon EllipseOutline(const TEllipse& ellipse, double scaleX, double scaleY) {
    const double cosO = std::cos(ellipse.Orientation);
    const double sinO = std::sin(ellipse.Orientation);
    const double centerX = ellipse.CenterX * scaleX;
    const double centerY = ellipse.CenterY * scaleY;
    constexpr double FullTurn = 2 * std::numbers::pi;
    constexpr float Step = static_cast<float>(FullTurn / 50);
    QPolygon outline;
    // Single precision as the outline was always computed: the accumulated t
    // decides the point count (50) and the last point.
    for (float t = 0; t < FullTurn; t += Step) {
        const float a = static_cast<float>(std::cos(t) * ellipse.AxisA * scaleX);
        const float b = static_cast<float>(std::sin(t) * ellipse.AxisB * scaleY);
        const float x = static_cast<float>(cosO * a - sinO * b + centerX);
        const float y = static_cast<float>(sinO * a + cosO * b + centerY);
        outline << SurfacePoint(x, y);
    }
    return outline;
}

void TEllipse::Draw(const TDrawContext& context) const {
    const QPolygon outline = EllipseOutline(*this, context.ScaleX, context.ScaleY);
    QPainter& surface = context.Surface;
    DrawTwoPasses(surface, false, [&] { surface.drawPolygon(outline); });
}

} // namespace VideoOverlay
