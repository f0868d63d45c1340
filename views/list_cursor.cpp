#include "views/list_cursor.h"

#include <algorithm>

namespace {

// A scroll bar keeps its position within its range.
void SetRange(TGridState& grid, int32_t max) {
    grid.ScrollMax = max;
    grid.ScrollPosition = std::clamp(grid.ScrollPosition, 0, max);
}

bool Step(TGridState& grid, int32_t delta) {
    const int32_t position = std::clamp(grid.ScrollPosition + delta, 0, grid.ScrollMax);
    if (position == grid.ScrollPosition)
        return false;
    grid.ScrollPosition = position;
    return true;
}

int32_t IndexAt(const TGridState& grid, int32_t row) {
    return row >= 0 && row < static_cast<int32_t>(grid.Rows.size())
               ? grid.Rows[static_cast<std::size_t>(row)].Index
               : -1;
}

} // namespace

QString TEventListState::MoveCursor(int32_t time, bool isIncremental) {
    int32_t passedFrom = -1;
    const TEvents& events = m_project.Events();
    m_cursor = MoveListCursor(events, m_cursor, time, isIncremental, passedFrom);
    QString texts;
    if (passedFrom < 0)
        return texts;
    for (int32_t index = passedFrom; index <= m_cursor; ++index) {
        const QString& text = events[static_cast<std::size_t>(index)]->Text;
        if (!text.isEmpty())
            texts += u' ' + text;
    }
    return texts;
}

bool TEventListState::IsActive(const TEvent& event, const TListClock& clock) const {
    if (clock.TimeFormat == TTimeFormat::Frames)
        return event.Time == clock.CurrentTime;
    const int64_t since = int64_t{clock.CurrentTime} - event.Time;
    return since >= 0 && since < clock.FramePeriodMs;
}

void TEventListState::Fill(const TListClock& clock, int32_t visibleRows, bool follow) {
    const TEvents& events = m_project.Events();
    const auto count = static_cast<int32_t>(events.Count());
    if (m_cursor >= count)
        m_cursor = -1;
    const int32_t last = ShowAll && count > 0 ? count - 1 : m_cursor;
    const int32_t rows = std::max(visibleRows, 1);
    const int32_t upto = last + 1;
    SetRange(m_grid, std::max(upto - rows, 0));
    if (follow)
        m_grid.ScrollPosition = std::clamp(m_cursor + 1 - rows, 0, m_grid.ScrollMax);
    // Events after the shown window; with the filter on they are counted
    // among the shown types only, so one step of the bar is one visible row.
    int32_t skip = std::max(upto - rows - m_grid.ScrollPosition, 0);

    std::vector<int32_t> collected; // newest first
    collected.reserve(static_cast<std::size_t>(rows) + 1);
    if (last >= 0) {
        const bool isFiltering = !m_project.FilteredTypes.empty();
        int32_t index = last;
        if (!isFiltering) {
            index = last - skip;
            skip = 0;
        }
        const auto wanted = static_cast<std::size_t>(rows) + static_cast<std::size_t>(skip);
        for (; index >= 0 && collected.size() < wanted; --index)
            if (!isFiltering ||
                !m_project.FilteredTypes.count(events[static_cast<std::size_t>(index)]->EventType))
                collected.push_back(index);
    }
    if (collected.size() > static_cast<std::size_t>(rows))
        collected.erase(collected.begin(), collected.end() - rows);

    const int32_t shown = static_cast<int32_t>(collected.size());
    m_grid.Rows.assign(static_cast<std::size_t>(std::max(std::min(shown, rows), 1)), TGridRow{});
    const int64_t cursorTime = m_cursor >= 0 ? events[static_cast<std::size_t>(m_cursor)]->Time : -1;
    int32_t noted = -1;
    for (int32_t row = 0; row < shown; ++row) {
        const int32_t index = collected[static_cast<std::size_t>(shown - 1 - row)];
        const TEvent& event = *events[static_cast<std::size_t>(index)];
        m_grid.Rows[static_cast<std::size_t>(row)] = {index, IsActive(event, clock)};
        if (event.Time <= cursorTime)
            noted = row;
    }
    m_grid.RowToSelect = -1;
    if (follow)
        m_grid.RowToSelect = noted >= 0 ? noted : static_cast<int32_t>(m_grid.Rows.size()) - 1;
}

QString TEventListState::Refresh(const TListClock& clock, int32_t visibleRows, bool isIncremental,
                                 bool follow) {
    QString texts = MoveCursor(clock.CurrentTime, isIncremental);
    Fill(clock, visibleRows, isIncremental || follow);
    return texts;
}

bool TEventListState::ScrollTowardsNewer() {
    return Step(m_grid, 1);
}

bool TEventListState::ScrollTowardsOlder() {
    return Step(m_grid, -1);
}

void TEventListState::SetScrollPosition(int32_t position) {
    m_grid.ScrollPosition = std::clamp(position, 0, m_grid.ScrollMax);
}

int32_t TEventListState::EventIndexAt(int32_t row) const {
    const int32_t index = IndexAt(m_grid, row);
    return index < static_cast<int32_t>(m_project.Events().Count()) ? index : -1;
}

void TTitleListState::MoveCursor(int32_t time, bool isIncremental) {
    int32_t passedFrom = -1;
    m_cursor = MoveListCursor(m_project.Titles, m_cursor, time, isIncremental, passedFrom);
}

void TTitleListState::Fill(int32_t visibleRows, bool follow) {
    const auto count = static_cast<int32_t>(m_project.Titles.Count());
    if (m_cursor >= count)
        m_cursor = -1;
    const int32_t upto = m_cursor + 1;
    const int32_t rows = std::max(std::min(visibleRows, upto), 1);
    const int32_t diff = upto - rows;
    SetRange(m_grid, std::max(diff, 0));
    if (follow)
        m_grid.ScrollPosition = m_grid.ScrollMax;
    const int32_t first = std::max(diff + m_grid.ScrollPosition - m_grid.ScrollMax, 0);
    m_grid.Rows.assign(static_cast<std::size_t>(rows), TGridRow{});
    // Titles after the cursor lie in the future and are never shown.
    for (int32_t row = 0; row < rows && first + row <= m_cursor; ++row)
        m_grid.Rows[static_cast<std::size_t>(row)].Index = first + row;
    m_grid.RowToSelect = follow ? rows - 1 : -1;
}

void TTitleListState::Refresh(int32_t time, int32_t visibleRows, bool isIncremental, bool follow) {
    MoveCursor(time, isIncremental);
    Fill(visibleRows, isIncremental || follow);
}

bool TTitleListState::ScrollTowardsNewer() {
    return Step(m_grid, 1);
}

bool TTitleListState::ScrollTowardsOlder() {
    return Step(m_grid, -1);
}

void TTitleListState::SetScrollPosition(int32_t position) {
    m_grid.ScrollPosition = std::clamp(position, 0, m_grid.ScrollMax);
}

int32_t TTitleListState::TitleIndexAt(int32_t row) const {
    const int32_t index = IndexAt(m_grid, row);
    return index < static_cast<int32_t>(m_project.Titles.Count()) ? index : -1;
}
