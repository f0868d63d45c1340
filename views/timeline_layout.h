#pragma once
// The timeline without its window: events grouped into rows (tracks) and the
// painting of those rows, the time scale and the position line into any
// QPainter (an off-screen image in the window, plain images in tests and
// benchmarks).
//
// A row holds the events of one type group with one parameter list (for
// example each speaker's "Start speaking"/"Stop speaking" events); rows are
// ordered by group, then by the text form of the parameter list. Only events
// whose type has a group and a colour code are placed.
//
// Rows refer to events of the project's list without owning them: an event
// must be removed (Remove, Clear) before it is destroyed. UI thread only.

#include "model/project.h"

#include <QSize>

#include <cstdint>
#include <unordered_map>
#include <vector>

class QPainter;

class TTimelineRows {
public:
    using TRow = std::vector<const TEvent*>; // ordered by Time

    explicit TTimelineRows(const TProject& project) : m_project(project) {}

    // Places every event of the project's list, in list order, from no rows.
    void Rebuild();
    // Places one event: after the events of its row whose Time is not
    // greater, or in a new row at its place in the order. An event already
    // placed stays where it is.
    void Add(const TEvent* event);
    bool Contains(const TEvent* event) const;
    // Removes the event (by identity) from its row, and the row when it
    // became empty. False when no row holds it.
    bool Remove(const TEvent* event);
    void Clear() { m_rows.clear(); }

    const std::vector<TRow>& Rows() const { return m_rows; }

private:
    bool IsPlaced(const TEvent& event) const;
    int32_t GroupOf(const TEvent& event) const;
    void Place(const TEvent* event, bool isAppending);

    const TProject& m_project;
    std::vector<TRow> m_rows;
};

// The state of the timeline's two scroll bars and the playback position.
struct TTimelineView {
    int32_t ZoomPosition = 1000; // 0 (most detail) ... ZoomMaximum (everything)
    int32_t ZoomMaximum = 1000;
    int32_t PositionMinimum = 0; // milliseconds
    int32_t PositionMaximum = 0;
    int32_t Position = 0;         // left edge of the view when it fits, milliseconds
    int32_t TimelinePosition = 0; // the playback position, milliseconds
};

// Where things went, for the window's scroll bars and for tests. Pixels and
// milliseconds.
struct TTimelineGeometry {
    int32_t StripHeight = 0; // the time labels above the rows
    int32_t LabelWidth = 0;  // the row labels' column
    int64_t MsPerPixel = 1;
    int64_t Left = 0; // the visible span
    int64_t Right = 0;
    int64_t GridStep = 1000;      // milliseconds between grid lines
    std::vector<int32_t> RowTops; // y of each row
    std::vector<int32_t> RowHeights;
};

// Milliseconds per pixel for a drawing `pixelWidth` pixels wide: the zoom
// bar's share of the whole range, at least 1.
int64_t TimelineMsPerPixel(int32_t pixelWidth, int32_t zoomPosition, int32_t zoomMaximum,
                           int32_t positionMaximum);

enum class TRecentre { No, Yes };

// Paints the rows into an area of `size` at the painter's origin with the
// painter's font. With TRecentre::Yes the view's Position is first moved so
// the playback position is in the middle (clamped to the bar's range).
// Events of the rows are walked only where they are visible; the state
// after a row's last event is drawn on to the right edge of the view.
//
// `labelWidths`, when given, remembers the width of each row's label by the
// row's first event, so that rows below the picture cost nothing to measure
// at the next paint (a project of mouse-drawn regions has a row per event).
// Whoever keeps it must drop an entry whose event goes away and clear it
// when names, parameters or the font may have changed.
using TTimelineLabelWidths = std::unordered_map<const TEvent*, int32_t>;
TTimelineGeometry PaintTimeline(QPainter& painter, QSize size, const TTimelineRows& rows,
                                const TProject& project, TTimelineView& view, TRecentre recentre,
                                TTimelineLabelWidths* labelWidths = nullptr);
