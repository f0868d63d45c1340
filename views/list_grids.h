#pragma once
// The event and title grids of the main window's panels brought to life:
// each binds a TEventListState or TTitleListState to its QTableWidget and
// the separate vertical QScrollBar beside it. The grids and bars belong to
// the main window; these objects only fill them and react to them.
//
// Keys (also handled by the grid as usual): Down or Page Down on the bottom
// row scrolls one entry towards the newer ones, Up or Page Up on the first
// row one towards the older. Shift+click on an event row moves the clock to
// that event; a double click runs Modify. A grid that changes its height
// refills to the rows that fit.
//
// Threads: the UI thread.

#include "views/list_cursor.h"

#include <QObject>
#include <QString>

#include <functional>

class QScrollBar;
class QTableWidget;

// What the event list needs from the rest of the editor. Empty functions
// are skipped (parts not built yet).
struct TEventListHooks {
    std::function<TListClock()> Clock;
    // GoToTime of the playback clock (time in the project's unit).
    std::function<void(int32_t time, bool fromUser)> GoToTime;
    std::function<void()> Modify;
    std::function<bool()> IsShowAllChecked;
    std::function<bool()> IsDrawChecked;
    std::function<bool()> IsTextChecked;
    std::function<bool()> IsGraphShown;
    // Refresh steps owned by the overlays, video windows and graph.
    std::function<void()> ClearOverlays;
    std::function<void()> BuildOverlays;
    std::function<void(const QString& caption)> SetCaptionText;
    std::function<void()> DrawGraph;
};

// Data roles of an event row's first cell.
constexpr int RoleListIndex = 0x0100 + 1; // Qt::UserRole + 1: the hidden index
constexpr int RoleIsActive = 0x0100 + 2;  // the active flag

// Rows that fit the grid's viewport (16-pixel rows), at least 1.
int32_t VisibleRows(const QTableWidget& grid);

// Any change of the events sets the cursor back to none (the next refresh
// searches it again), so the project must outlive the object.
class TEventListGrid : public QObject, public TProjectListener {
public:
    TEventListGrid(QTableWidget& grid, QScrollBar& scrollBar, TProject& project, TEventListHooks hooks);
    ~TEventListGrid() override;

    // Moves the cursor to the clock's time and refills; then the overlays,
    // captions and graph are brought up to date.
    void RefreshEventList(bool isIncremental, bool follow);
    // Refills from the cursor without moving it.
    void FillEventGrid(bool follow);
    // The event index of the selected row, or -1.
    int32_t SelectedEventIndex() const;

    TEventListState& State() { return m_state; }
    const TEventListState& State() const { return m_state; }

    void EventInserted(const TEvent*) override { m_state.ResetCursor(); }
    void EventRemoving(const TEvent*) override { m_state.ResetCursor(); }
    void EventsClearing() override { m_state.ResetCursor(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Show();
    TListClock Clock() const;

    QTableWidget& m_grid;
    QScrollBar& m_scrollBar;
    TProject& m_project;
    TEventListHooks m_hooks;
    TEventListState m_state;
};

class TTitleListGrid : public QObject {
public:
    TTitleListGrid(QTableWidget& grid, QScrollBar& scrollBar, const TProject& project,
                   std::function<int32_t()> currentTime, std::function<void()> modify);

    void RefreshTitleList(bool isIncremental, bool follow);
    void FillTitleGrid(bool follow);
    int32_t SelectedTitleIndex() const;

    TTitleListState& State() { return m_state; }
    const TTitleListState& State() const { return m_state; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Show();

    QTableWidget& m_grid;
    QScrollBar& m_scrollBar;
    const TProject& m_project;
    std::function<int32_t()> m_currentTime;
    std::function<void()> m_modify;
    TTitleListState m_state;
};
