#pragma once
// The logic behind the event and title lists of the main window, without
// widgets: the cursors (the newest event or title at or before the current
// time), the rows each grid shows and the position of its scroll bar.
//
// The grids show what has happened up to the current time, newest at the
// bottom, as many rows as fit; the scroll bar beside a grid selects which
// earlier rows are shown (its position is the number of list entries above
// the shown window, Max the number that do not fit).
//
// Times are in the project's time unit. Used from the UI thread only.

#include "model/project.h"

#include <QString>

#include <cstdint>
#include <vector>

// What the lists need from the playback clock.
struct TListClock {
    int32_t CurrentTime = 0; // project time unit
    TTimeFormat TimeFormat = TTimeFormat::Milliseconds;
    int32_t FramePeriodMs = 1; // the position slider's page size
};

struct TGridRow {
    int32_t Index = -1; // into the event or title list; -1 an empty row
    bool IsActive = false;
};

struct TGridState {
    std::vector<TGridRow> Rows; // data rows top to bottom, at least one
    int32_t ScrollMax = 0;
    int32_t ScrollPosition = 0; // kept within 0..ScrollMax
    int32_t RowToSelect = -1;   // index into Rows after a following fill, else -1
};

// An index into a time-ordered list, -1 for none: the last item whose Time
// is at most `time`. Incremental moves step forward from `cursor` (cost: the
// items passed) when it is valid and not after `time`; otherwise, or when
// not incremental, a binary search. `passedFrom` receives the first item of
// the range passed over: the old cursor after a forward step, else the new
// cursor.
template <typename TList>
int32_t MoveListCursor(const TList& list, int32_t cursor, int32_t time, bool isIncremental,
                       int32_t& passedFrom) {
    const auto count = static_cast<int32_t>(list.Count());
    if (isIncremental && cursor >= 0 && cursor < count &&
        time >= list[static_cast<std::size_t>(cursor)]->Time) {
        passedFrom = cursor;
        int32_t position = cursor;
        while (position < count && time >= list[static_cast<std::size_t>(position)]->Time)
            ++position;
        return position - 1;
    }
    const int32_t moved = static_cast<int32_t>(list.UpperBound(time)) - 1;
    passedFrom = moved;
    return moved;
}

class TEventListState {
public:
    explicit TEventListState(const TProject& project) : m_project(project) {}

    int32_t Cursor() const { return m_cursor; }
    // Commands that change the events reset the cursor, then refresh fully.
    void ResetCursor() { m_cursor = -1; }

    // Moves the cursor to `time` and returns the texts of the events passed
    // (from the starting point of the move to the new cursor, empty texts
    // left out), each preceded by one space; empty when nothing was passed.
    QString MoveCursor(int32_t time, bool isIncremental);

    // Refills the rows from the cursor without moving it. `follow` scrolls
    // to the cursor and selects its row.
    void Fill(const TListClock& clock, int32_t visibleRows, bool follow);

    // Both: the move, then a fill that follows when asked to or when the
    // move was incremental (playback keeps the newest event in view).
    // Returns MoveCursor's texts.
    QString Refresh(const TListClock& clock, int32_t visibleRows, bool isIncremental, bool follow);

    // Down or Page Down on the bottom row, Up or Page Up on the first: one
    // step further back or forward, if there is one. True when the position
    // changed (the caller refills without following).
    bool ScrollTowardsNewer();
    bool ScrollTowardsOlder();
    void SetScrollPosition(int32_t position);

    const TGridState& Grid() const { return m_grid; }
    // The hidden event index of a data row, or -1.
    int32_t EventIndexAt(int32_t row) const;

    bool ShowAll = false;

private:
    bool IsActive(const TEvent& event, const TListClock& clock) const;

    const TProject& m_project;
    int32_t m_cursor = -1;
    TGridState m_grid{{TGridRow{}}};
};

class TTitleListState {
public:
    explicit TTitleListState(const TProject& project) : m_project(project) {}

    int32_t Cursor() const { return m_cursor; }
    void ResetCursor() { m_cursor = -1; }
    void MoveCursor(int32_t time, bool isIncremental);
    void Fill(int32_t visibleRows, bool follow);
    void Refresh(int32_t time, int32_t visibleRows, bool isIncremental, bool follow);

    bool ScrollTowardsNewer();
    bool ScrollTowardsOlder();
    void SetScrollPosition(int32_t position);

    const TGridState& Grid() const { return m_grid; }
    int32_t TitleIndexAt(int32_t row) const;

private:
    const TProject& m_project;
    int32_t m_cursor = -1;
    TGridState m_grid{{TGridRow{}}};
};
