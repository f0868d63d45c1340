#pragma once
// The shapes a video window draws over its frame: rectangles (with a label),
// quadrilaterals, arrows and lines, circles and rotated ellipses.
//
// Coordinates kept in a shape are video pixels (the frame's own grid); they
// reach the drawing surface only through a TDrawContext, which maps a video
// coordinate v to trunc(v x ScaleX) horizontally and trunc(v x ScaleY)
// vertically. Every outline is drawn twice over the same geometry, first with
// a white pen 3 pixels wide, then with a black pen 1 pixel wide, so it shows
// on dark and light video alike.
//
// Shapes are plain values with public geometry; a window owns them in a list.
// Only rectangles made for events carry a pointer to that event's parameter
// list (not owned: the overlays are rebuilt from the events whenever the
// event list changes, so the pointer never outlives its event).
//
// Threads: the UI thread (drawing uses a QPainter).

#include "model/events.h"
#include "model/parameters.h"
#include "views/core/raster_surface.h"

#include <QPainter>
#include <QString>

#include <cstdint>
#include <memory>
#include <span>

namespace VideoOverlay {

// HitDistance of a point a shape does not cover.
inline constexpr int32_t NeverHit = 2147483647;

// Truncation toward zero that saturates at the 32-bit range (NaN gives 0):
// shape geometry comes from event parameters the user typed, and a value far
// outside the picture must draw nothing sensible rather than overflow.
int32_t TruncToInt(double value);

// The surface of the current paint and its scale against the video.
// Raster, when given, is Surface's own pixels (TRasterSurface::Of(Surface)):
// rectangle outlines are then written there directly, the same pixels the
// painter would set for a fraction of the cost.
struct TDrawContext {
    QPainter& Surface;
    double ScaleX;
    double ScaleY;
    const TRasterSurface* Raster = nullptr;

    int32_t MapX(double videoX) const { return TruncToInt(videoX * ScaleX); }
    int32_t MapY(double videoY) const { return TruncToInt(videoY * ScaleY); }
};

class TDrawable {
public:
    explicit TDrawable(const TEvent* event = nullptr) : Event(event) {}
    TDrawable(const TDrawable&) = default;
    TDrawable& operator=(const TDrawable&) = default;
    virtual ~TDrawable() = default;

    virtual void Draw(const TDrawContext& context) const = 0;
    // Distance in video pixels from (x, y) to the shape for a right-click
    // selection; the smallest wins. NeverHit when the point is not on it.
    virtual int32_t HitDistance(int32_t x, int32_t y) const;
    // Centres the shape on (x, y) in video pixels. Returns true when the
    // shape belongs to an event: Rewritten then holds the event's parameter
    // list with the new position, for the caller to give to the event
    // (through the project, so the change can be taken back).
    virtual bool MoveTo(int32_t x, int32_t y);
    void SetSelected(bool flag) { Selected = flag; }

    // The event this shape was made for, or nullptr.
    const TEvent* Event = nullptr;
    TParameters Rewritten;
    // Drawn with a red outer outline instead of a white one.
    bool Selected = false;
};

class TRectangle : public TDrawable {
public:
    TRectangle(int32_t minX, int32_t minY, int32_t maxX, int32_t maxY, const QString& label,
               const TEvent* event = nullptr)
        : TDrawable(event), MinX(minX), MinY(minY), MaxX(maxX), MaxY(maxY), Label(label) {}

    // The corners are ordered before drawing, so MinX > MaxX still draws; the
    // label sits above the top-left corner, black with a white outline.
    void Draw(const TDrawContext& context) const override;
    // Distance to the nearest edge for a point inside (edges included); a
    // rectangle given with MinX > MaxX or MinY > MaxY is never hit.
    int32_t HitDistance(int32_t x, int32_t y) const override;
    // Keeps the size (an odd extent loses one pixel) and writes MinX, MaxX,
    // MinY, MaxY, CenterX and CenterY into the event's parameters where the
    // event has those pairs.
    bool MoveTo(int32_t x, int32_t y) override;

    int32_t MinX;
    int32_t MinY;
    int32_t MaxX;
    int32_t MaxY;
    QString Label;
};

// A closed outline through four points in order.
class TPolygon : public TDrawable {
public:
    TPolygon(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4, int32_t y4)
        : X1(x1), Y1(y1), X2(x2), Y2(y2), X3(x3), Y3(y3), X4(x4), Y4(y4) {}

    void Draw(const TDrawContext& context) const override;

    int32_t X1, Y1, X2, Y2, X3, Y3, X4, Y4;
};

// A line from (X1, Y1) to (X2, Y2); with Head, two barbs at the end point
// make a head 10 surface pixels long and 10 wide at every scale. Begin and
// end at the same point draw nothing.
class TArrow : public TDrawable {
public:
    TArrow(int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool head)
        : X1(x1), Y1(y1), X2(x2), Y2(y2), Head(head) {}

    void Draw(const TDrawContext& context) const override;

    int32_t X1, Y1, X2, Y2;
    bool Head;
};

// Drawn as the ellipse inscribed in the mapped bounding box, so a non-square
// scale stretches it. Outline only, like the other shapes.
class TCircle : public TDrawable {
public:
    TCircle(int32_t centerX, int32_t centerY, int32_t radius)
        : CenterX(centerX), CenterY(centerY), Radius(radius) {}

    void Draw(const TDrawContext& context) const override;

    int32_t CenterX, CenterY, Radius;
};

// An outline of 50 points; Orientation (radians) rotates the scaled axes on
// the surface.
class TEllipse : public TDrawable {
public:
    TEllipse(int32_t centerX, int32_t centerY, int32_t axisA, int32_t axisB, float orientation)
        : CenterX(centerX), CenterY(centerY), AxisA(axisA), AxisB(axisB), Orientation(orientation) {}

    void Draw(const TDrawContext& context) const override;

    int32_t CenterX, CenterY, AxisA, AxisB;
    float Orientation;
};

// The surface points of an ellipse's outline: t runs from 0 in steps of
// 2 pi / 50 accumulated in single precision while t < 2 pi.
QPolygon EllipseOutline(const TEllipse& ellipse, double scaleX, double scaleY);

// Draws shapes in order, as each one's Draw would; on a raster surface
// faster, because the memory is asked for one rectangle's pixels while the
// one before it is drawn.
void DrawShapes(std::span<const std::unique_ptr<TDrawable>> shapes, const TDrawContext& context);

// The frame (an RGB32 picture of the surface's own size, drawn unscaled at
// its origin) and then the shapes, to the very pixels of drawing the frame
// and then DrawShapes, but in bands down the surface: each band's rows are
// copied and at once covered with the rectangles reaching into them, while
// those rows are still in the cache, rather than fetched back from memory
// for hundreds of small shapes after the whole frame has gone through it.
// Shapes from the first one that is not a rectangle on are drawn after the
// bands, in order. False, having drawn nothing, where the surface does not
// allow it (no raster surface, or not RGB32).
bool DrawFrameAndShapes(const QImage& frame, std::span<const std::unique_ptr<TDrawable>> shapes,
                        const TDrawContext& context);

// The two outline pens, in drawing order.
QPen OuterPen(bool selected);
QPen InnerPen();
// Font of rectangle labels and captions.
QFont LabelFont();

} // namespace VideoOverlay
