#pragma once
// The timeline: the events of grouped types as coloured tracks over time,
// one row per group and parameter list, with a time scale, the playback
// position as a red line, and two scroll bars (position and zoom). A view
// only: it changes nothing.
//
// Rows are kept only while the window is shown: showing it rebuilds them,
// hiding it empties them. While shown it follows the project through its
// listener (events added, removed, cleared; types and groups repainted).
//
// Layout (client 592 x 273 at design size): PaintBox at 8, 8 stretching
// with the window; "Time" label and ScrollBarPosition (milliseconds, range
// that of the main window's slider, followed whenever it changes) along the
// bottom;
// "Zoom" label and ScrollBarZoom (0 most detail ... 1000 everything) at the
// bottom right. At least 220 x 170 pixels outside.
//
// One instance, created hidden by the main window at start-up and lives
// for the whole process. Threads: the UI thread.

#include "components/secondary_window.h"
#include "model/project.h"
#include "views/timeline_layout.h"

#include <QFont>
#include <QImage>

#include <cstdint>
#include <functional>

class QLabel;
class QScrollBar;

// The main window slider's range and page size, in milliseconds.
struct TTimelineSlider {
    int32_t Minimum = 0;
    int32_t Maximum = 0;
    int32_t PageSize = 1;
};

class TFormTimeLine : public TSecondaryWindow, public TProjectListener {
    Q_OBJECT

public:
    TFormTimeLine(QWidget* owner, TProject& project);
    ~TFormTimeLine() override;

    // Where FormShow takes the position bar's range from.
    void SetSliderSource(std::function<TTimelineSlider()> source) { m_slider = std::move(source); }
    // The slider's range or page changed (media added or removed, a project
    // read): the position bar follows at once, shown or hidden.
    void SliderRangeChanged(const TTimelineSlider& slider);

    // All of these do nothing while the window is hidden.
    void RebuildRows();
    void RefreshTimeline(); // rebuild and repaint
    void AddEventToTimeline(const TEvent* event);
    void RemoveEventFromTimeline(const TEvent* event);
    void ClearTimeline();
    void RepaintTimeline(); // without recentring
    // Group names or an event's parameters changed in place: the row labels
    // are measured again and the picture repainted.
    void LabelsChanged();
    // The playback position (milliseconds, kept while hidden); the view is
    // recentred on it.
    void SetTimelinePosition(int32_t positionMs);

    const TTimelineRows& Rows() const { return m_rows; }
    // The picture of the drawing area as it is now (composed first when it is stale).
    const QImage& Picture();
    const TTimelineGeometry& Geometry();
    // How many times the picture was composed (tests and benchmarks).
    int64_t Compositions() const { return m_compositions; }

    QWidget* PaintBox = nullptr;
    QLabel* LabelTime = nullptr;
    QScrollBar* ScrollBarPosition = nullptr;
    QLabel* LabelZoom = nullptr;
    QScrollBar* ScrollBarZoom = nullptr;

    // TProjectListener
    void EventInserted(const TEvent* event) override { AddEventToTimeline(event); }
    void EventRemoving(const TEvent* event) override { RemoveEventFromTimeline(event); }
    void EventsClearing() override { ClearTimeline(); }
    void TypesChanged() override { LabelsChanged(); }
    void GroupsChanged() override { LabelsChanged(); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormShow();
    void ScrollBarPositionChange();
    // Composes the picture (a request arriving while one is composed is
    // dropped) and has the drawing area show it.
    void Paint(TRecentre recentre);
    // Composes only; false when the request was dropped.
    bool Compose(TRecentre recentre);
    void PaintBoxPaint(QPainter& painter);

    TProject& m_project;
    TTimelineRows m_rows;
    std::function<TTimelineSlider()> m_slider;
    int32_t m_timelinePositionMs = 0;
    bool m_hasBeenShown = false; // first shown centred on the main window
    bool m_isPainting = false;
    bool m_isPictureCurrent = false;
    TTimelineLabelWidths m_labelWidths;
    QFont m_labelFont;
    int64_t m_compositions = 0;
    QImage m_picture;
    TTimelineGeometry m_geometry;
};
