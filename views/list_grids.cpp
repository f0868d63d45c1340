#include "views/list_grids.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <algorithm>

namespace {

// Active rows: the text in blue, light sky blue when selected, written 2
// pixels right of and below the cell's corner over its usual background.
class TActiveRowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (!index.siblingAtColumn(0).data(RoleIsActive).toBool()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QString text = cell.text;
        cell.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
        const bool isSelected = option.state & QStyle::State_Selected;
        painter->save();
        painter->setClipRect(option.rect);
        painter->setPen(isSelected ? QColor(0xA6, 0xCA, 0xF0) : QColor(0x00, 0x00, 0xFF));
        painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          text);
        painter->restore();
    }
};

void SetCell(QTableWidget& grid, int row, int column, const QString& text) {
    QTableWidgetItem* item = grid.item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        grid.setItem(row, column, item);
    }
    if (item->text() != text)
        item->setText(text);
}

void ShowScrollBar(QScrollBar& bar, const TGridState& state) {
    const QSignalBlocker blocker(bar);
    bar.setRange(0, state.ScrollMax);
    bar.setValue(state.ScrollPosition);
}

int32_t HiddenIndex(const QTableWidget& grid, int row) {
    const QTableWidgetItem* item = row >= 0 ? grid.item(row, 0) : nullptr;
    return item ? item->data(RoleListIndex).toInt() : -1;
}

enum class TScrollKey { None, TowardsNewer, TowardsOlder };

// Down or Page Down on the bottom row, Up or Page Up on the first.
TScrollKey ScrollKey(const QTableWidget& grid, const QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return TScrollKey::None;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    const int row = grid.currentRow();
    if ((key == Qt::Key_Down || key == Qt::Key_PageDown) && row == grid.rowCount() - 1)
        return TScrollKey::TowardsNewer;
    if ((key == Qt::Key_Up || key == Qt::Key_PageUp) && row == 0)
        return TScrollKey::TowardsOlder;
    return TScrollKey::None;
}

} // namespace

int32_t VisibleRows(const QTableWidget& grid) {
    const int rowHeight = std::max(grid.verticalHeader()->defaultSectionSize(), 1);
    return std::max(grid.viewport()->height() / rowHeight, 1);
}

TEventListGrid::TEventListGrid(QTableWidget& grid, QScrollBar& scrollBar, TProject& project,
                               TEventListHooks hooks)
    : QObject(nullptr), m_grid(grid), m_scrollBar(scrollBar), m_project(project), m_hooks(std::move(hooks)),
      m_state(project) {
    m_grid.setItemDelegate(new TActiveRowDelegate(&m_grid));
    m_grid.installEventFilter(this);
    m_grid.viewport()->installEventFilter(this);
    connect(&m_scrollBar, &QScrollBar::valueChanged, this, [this](int value) {
        m_state.SetScrollPosition(value);
        FillEventGrid(false);
    });
    connect(&m_grid, &QTableWidget::cellDoubleClicked, this, [this] {
        if (m_hooks.Modify)
            m_hooks.Modify();
    });
    m_project.AddListener(this);
}

TEventListGrid::~TEventListGrid() {
    m_project.RemoveListener(this);
}

TListClock TEventListGrid::Clock() const {
    return m_hooks.Clock ? m_hooks.Clock() : TListClock{};
}

void TEventListGrid::RefreshEventList(bool isIncremental, bool follow) {
    m_state.ShowAll = m_hooks.IsShowAllChecked && m_hooks.IsShowAllChecked();
    const QString passed = m_state.Refresh(Clock(), VisibleRows(m_grid), isIncremental, follow);
    Show();
    if (m_hooks.ClearOverlays)
        m_hooks.ClearOverlays();
    if (m_hooks.IsDrawChecked && m_hooks.IsDrawChecked() && m_hooks.BuildOverlays)
        m_hooks.BuildOverlays();
    // An empty result keeps the captions' previous text.
    if (m_hooks.IsTextChecked && m_hooks.IsTextChecked() && !passed.isEmpty() && m_hooks.SetCaptionText)
        m_hooks.SetCaptionText(passed);
    if (m_hooks.IsGraphShown && m_hooks.IsGraphShown() && m_hooks.DrawGraph)
        m_hooks.DrawGraph();
}

void TEventListGrid::FillEventGrid(bool follow) {
    m_state.ShowAll = m_hooks.IsShowAllChecked && m_hooks.IsShowAllChecked();
    m_state.Fill(Clock(), VisibleRows(m_grid), follow);
    Show();
}

void TEventListGrid::Show() {
    const TGridState& state = m_state.Grid();
    ShowScrollBar(m_scrollBar, state);
    const int rowCount = static_cast<int>(state.Rows.size());
    m_grid.setRowCount(rowCount);
    const TEvents& events = m_project.Events();
    for (int row = 0; row < rowCount; ++row) {
        const TGridRow& shown = state.Rows[static_cast<std::size_t>(row)];
        const QStringList cells =
            shown.Index >= 0
                ? EventToRow(*events[static_cast<std::size_t>(shown.Index)], m_project.EventTypes)
                : QStringList(4, QString());
        for (int column = 0; column < m_grid.columnCount(); ++column)
            SetCell(m_grid, row, column, column < cells.size() ? cells[column] : QString());
        QTableWidgetItem* first = m_grid.item(row, 0);
        first->setData(RoleListIndex, shown.Index);
        first->setData(RoleIsActive, shown.IsActive);
    }
    if (state.RowToSelect >= 0)
        m_grid.setCurrentCell(state.RowToSelect, 0);
}

int32_t TEventListGrid::SelectedEventIndex() const {
    const int32_t index = HiddenIndex(m_grid, m_grid.currentRow());
    return index >= 0 && index < static_cast<int32_t>(m_project.Events().Count()) ? index : -1;
}

bool TEventListGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_grid && event->type() == QEvent::Resize) {
        FillEventGrid(false);
        return false;
    }
    if (watched == &m_grid) {
        const TScrollKey key = ScrollKey(m_grid, event);
        if ((key == TScrollKey::TowardsNewer && m_state.ScrollTowardsNewer()) ||
            (key == TScrollKey::TowardsOlder && m_state.ScrollTowardsOlder()))
            FillEventGrid(false);
        return false;
    }
    // Shift+click, once the grid has selected the row: the clock moves to the
    // event and the lists follow, unless they show everything anyway.
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<const QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && (mouse->modifiers() & Qt::ShiftModifier) &&
            m_hooks.GoToTime) {
            const int32_t index = HiddenIndex(m_grid, m_grid.rowAt(mouse->position().toPoint().y()));
            if (index >= 0 && index < static_cast<int32_t>(m_project.Events().Count()))
                m_hooks.GoToTime(m_project.Events()[static_cast<std::size_t>(index)]->Time, !m_state.ShowAll);
        }
    }
    return false;
}

TTitleListGrid::TTitleListGrid(QTableWidget& grid, QScrollBar& scrollBar, const TProject& project,
                               std::function<int32_t()> currentTime, std::function<void()> modify)
    : QObject(nullptr), m_grid(grid), m_scrollBar(scrollBar), m_project(project),
      m_currentTime(std::move(currentTime)), m_modify(std::move(modify)), m_state(project) {
    m_grid.installEventFilter(this);
    connect(&m_scrollBar, &QScrollBar::valueChanged, this, [this](int value) {
        m_state.SetScrollPosition(value);
        FillTitleGrid(false);
    });
    connect(&m_grid, &QTableWidget::cellDoubleClicked, this, [this] {
        if (m_modify)
            m_modify();
    });
}

void TTitleListGrid::RefreshTitleList(bool isIncremental, bool follow) {
    m_state.Refresh(m_currentTime ? m_currentTime() : 0, VisibleRows(m_grid), isIncremental, follow);
    Show();
}

void TTitleListGrid::FillTitleGrid(bool follow) {
    m_state.Fill(VisibleRows(m_grid), follow);
    Show();
}

void TTitleListGrid::Show() {
    const TGridState& state = m_state.Grid();
    ShowScrollBar(m_scrollBar, state);
    const int rowCount = static_cast<int>(state.Rows.size());
    m_grid.setRowCount(rowCount);
    for (int row = 0; row < rowCount; ++row) {
        const int32_t index = state.Rows[static_cast<std::size_t>(row)].Index;
        const QStringList cells = index >= 0 ? TitleToRow(*m_project.Titles[static_cast<std::size_t>(index)])
                                             : QStringList(2, QString());
        for (int column = 0; column < m_grid.columnCount(); ++column)
            SetCell(m_grid, row, column, column < cells.size() ? cells[column] : QString());
        m_grid.item(row, 0)->setData(RoleListIndex, index);
    }
    if (state.RowToSelect >= 0)
        m_grid.setCurrentCell(state.RowToSelect, 0);
}

int32_t TTitleListGrid::SelectedTitleIndex() const {
    const int32_t index = HiddenIndex(m_grid, m_grid.currentRow());
    return index >= 0 && index < static_cast<int32_t>(m_project.Titles.Count()) ? index : -1;
}

bool TTitleListGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_grid && event->type() == QEvent::Resize) {
        FillTitleGrid(false);
        return false;
    }
    if (watched == &m_grid) {
        const TScrollKey key = ScrollKey(m_grid, event);
        if ((key == TScrollKey::TowardsNewer && m_state.ScrollTowardsNewer()) ||
            (key == TScrollKey::TowardsOlder && m_state.ScrollTowardsOlder()))
            FillTitleGrid(false);
    }
    return false;
}
