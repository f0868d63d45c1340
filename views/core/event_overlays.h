#pragma once
// The shapes of the events active at the current time: which events are
// active, which of their parameters place a shape, and on which camera.
// Shapes are handed to a TOverlayTarget (a video window); their look and
// painting are the window's business.
//
// Which shapes an event makes follows only from the names of its
// parameters, never from its type. Coordinates are the camera's video
// pixels; shapes taking integers get each number truncated toward zero.
//
// Threads: the UI thread (the events are the model's).

#include "model/project.h"
#include "views/list_cursor.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>

// The names overlays read, by position. Compared ignoring letter case.
enum class TOverlayName : int32_t {
    MinX,
    MinY,
    MaxX,
    MaxY,
    X1,
    Y1,
    X2,
    Y2,
    X3,
    Y3,
    X4,
    Y4,
    Camera,
    Object,
    BeginX,
    BeginY,
    EndX,
    EndY,
    Angle,
    Direction,
    Slope,
    Person,
    CenterX,
    CenterY,
    AxisA,
    AxisB,
    Orientation,
};

inline constexpr int32_t OverlayNameCount = 27;
extern const std::array<const char*, OverlayNameCount> OverlayParameterNames;

// The position in OverlayParameterNames of the first name equal to `name`
// ignoring letter case, or -1.
int32_t FindOverlayName(const QString& name);

// One event's overlay parameters: each name present with a value or absent.
// Person is text; every other value is a number read with "." or "," as the
// decimal separator into single precision, and a value that is no number
// leaves its name absent. Of two pairs with the same name the later wins.
class TOverlayValues {
public:
    void Read(const TParameters& parameters);

    bool Has(TOverlayName name) const { return m_present[Index(name)]; }
    bool HasAll(std::initializer_list<TOverlayName> names) const;
    float Value(TOverlayName name) const { return m_values[Index(name)]; }
    // Truncated toward zero, saturating at the int32 range.
    int32_t Int(TOverlayName name) const;
    // Empty when absent.
    const QString& Person() const { return m_person; }

private:
    static std::size_t Index(TOverlayName name) { return static_cast<std::size_t>(name); }

    std::array<bool, OverlayNameCount> m_present{};
    std::array<float, OverlayNameCount> m_values{};
    QString m_person;
    // One pair at a time is read through it: its storage is kept between
    // reads, so reading allocates nothing.
    TParameters m_scratch;
};

// What receives the shapes of one camera: the first video window of that
// camera. Arguments as the video window's shape constructors take them.
class TOverlayTarget {
public:
    virtual ~TOverlayTarget() = default;
    // event: the event the rectangle shows, whose bounds follow when the user
    // moves the rectangle; it lives until the next rebuild.
    virtual void AddRectangle(int32_t minX, int32_t minY, int32_t maxX, int32_t maxY, const QString& label,
                              const TEvent* event) = 0;
    virtual void AddPolygon(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                            int32_t x4, int32_t y4) = 0;
    virtual void AddArrow(int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
    virtual void AddLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
    virtual void AddCircle(int32_t centerX, int32_t centerY, int32_t radius) = 0;
    virtual void AddEllipse(int32_t centerX, int32_t centerY, int32_t axisA, int32_t axisB,
                            float orientation) = 0;
};

// The first video window, in media order, whose camera number equals
// `camera` (compared as numbers), or nullptr.
using TOverlayTargetFinder = std::function<TOverlayTarget*(double camera)>;

// The label of an event's rectangle: the type name, then " - " and Person,
// Person(Object), or Object alone, when there is either.
QString RectangleLabel(const QString& typeName, const TOverlayValues& values);

// The shapes of one event on its target: rectangle, ellipse or else cross,
// quadrilateral with its head gauge, arrow, each when its names are present.
void AddEventShapes(TOverlayTarget& target, const TOverlayValues& values, const QString& typeName,
                    const TEvent* event);

// Walks back from `cursor` (index into the events, -1 none) over the active
// events and adds their shapes. The reference time is the cursor event's
// time with drawLast, otherwise the clock's current time. Events of a type
// hidden by the filter are passed over without ending the walk. In the
// millisecond unit an event is active while 0 <= reference - time < frame
// period; in the frame unit when its time equals the reference. Events
// without Camera, or whose camera no window has, draw nothing.
// `values` is scratch storage the caller may keep between calls.
void BuildEventOverlays(const TProject& project, int32_t cursor, const TListClock& clock, bool drawLast,
                        const TOverlayTargetFinder& targetFor, TOverlayValues& values);
