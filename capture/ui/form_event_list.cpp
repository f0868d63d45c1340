#include "capture/ui/form_event_list.h"

#include "capture/editor_fields.h"
#include "capture/ui/form_event.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

enum : int {
    ColumnName,
    ColumnKey,
    ColumnGroup,
    ColumnGroupIndex,
    ColumnOffset,
    ColumnParameters,
    ColumnCount
};

// Draws a "Group index" cell holding a code of 0 or more as a black-edged
// swatch of the code's colour in a cell-high square at the left, followed by
// the number.
class TGroupIndexDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        bool isNumber = false;
        const QString text = index.data().toString();
        const int32_t groupIndex = text.toInt(&isNumber);
        if (!isNumber || groupIndex < 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        const QWidget* view = option.widget;
        QStyle* style = view != nullptr ? view->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &background, painter, view);
        const QRect cell = option.rect;
        const int side = cell.height();
        painter->save();
        painter->setPen(option.state & QStyle::State_Selected ? option.palette.highlightedText().color()
                                                              : option.palette.text().color());
        painter->drawText(cell.adjusted(side, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
        painter->setPen(Qt::black);
        painter->setBrush(GroupIndexQColor(groupIndex));
        painter->drawRect(QRect(cell.left() + 2, cell.top() + 2, side - 4, side - 4).adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

void SetRow(QTableWidget& grid, int row, const QStringList& cells) {
    for (int column = 0; column < grid.columnCount(); ++column)
        grid.setItem(row, column, new QTableWidgetItem(column < cells.size() ? cells[column] : QString()));
}

} // namespace

TFormEventList::TFormEventList(QWidget* owner, TProject& project)
    : TSecondaryWindow(owner, QStringLiteral("Event types"), QSize(497, 258)), m_project(project) {
    StringGridEventTypes = new QTableWidget(2, ColumnCount, this);
    StringGridEventTypes->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Key"),
                                                     QStringLiteral("Group"), QStringLiteral("Group index"),
                                                     QStringLiteral("Offset"), QStringLiteral("Parameters")});
    const int widths[ColumnCount] = {114, 66, 64, 64, 64, 81};
    for (int column = 0; column < ColumnCount; ++column)
        StringGridEventTypes->setColumnWidth(column, widths[column]);
    // Narrow columns keep the beginning of their headings.
    StringGridEventTypes->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    StringGridEventTypes->verticalHeader()->hide();
    StringGridEventTypes->verticalHeader()->setMinimumSectionSize(18);
    StringGridEventTypes->verticalHeader()->setDefaultSectionSize(18);
    StringGridEventTypes->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGridEventTypes->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGridEventTypes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGridEventTypes->setTabKeyNavigation(false);
    StringGridEventTypes->setItemDelegateForColumn(ColumnGroupIndex,
                                                   new TGroupIndexDelegate(StringGridEventTypes));

    ButtonNew = new QPushButton(QStringLiteral("&New"), this);
    ButtonModify = new QPushButton(QStringLiteral("&Modify"), this);
    ButtonDelete = new QPushButton(QStringLiteral("&Delete"), this);
    ButtonClose = new QPushButton(QStringLiteral("&Close"), this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {ButtonNew, ButtonModify, ButtonDelete})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(ButtonClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(StringGridEventTypes, 1);
    layout->addLayout(buttons);
    setFixedSize(497, 258);

    connect(ButtonNew, &QPushButton::clicked, this, [this] { Run([this] { ButtonNewClick(); }); });
    connect(ButtonModify, &QPushButton::clicked, this, [this] { Run([this] { ButtonModifyClick(); }); });
    connect(ButtonDelete, &QPushButton::clicked, this, [this] { Run([this] { ButtonDeleteClick(); }); });
    connect(StringGridEventTypes, &QTableWidget::cellDoubleClicked, this,
            [this] { Run([this] { ButtonModifyClick(); }); });
    connect(ButtonClose, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    RefreshTypeList();
}

void TFormEventList::showEvent(QShowEvent* event) {
    TSecondaryWindow::showEvent(event);
    if (!m_hasBeenShown && !event->spontaneous() && parentWidget() != nullptr) {
        m_hasBeenShown = true;
        move(parentWidget()->frameGeometry().center() - frameGeometry().center() + pos());
    }
}

void TFormEventList::Run(const std::function<void()>& handler) {
    m_hooks.Run(handler);
}

void TFormEventList::TypesChanged() {
    if (m_hooks.RefreshTypeList)
        m_hooks.RefreshTypeList();
    else
        RefreshTypeList();
}

void TFormEventList::RefreshTypeList() {
    const TEventTypes& types = m_project.EventTypes;
    const int row = StringGridEventTypes->currentRow();
    StringGridEventTypes->clearContents();
    StringGridEventTypes->setRowCount(std::max(types.Count(), 1));
    SetRow(*StringGridEventTypes, 0, {});
    for (int32_t i = 0; i < types.Count(); ++i) {
        const TEventType& type = types[i];
        SetRow(*StringGridEventTypes, i,
               {type.Name, KeyToText(type.Key), m_project.Groups.GroupName(type.Group),
                type.GroupIndex >= 0 ? QString::number(type.GroupIndex) : QString(),
                QString::number(type.Offset), type.Parameters.ParametersToText()});
    }
    // Like any grid of this editor, one row is always current: the first
    // until the user picks another.
    StringGridEventTypes->setCurrentCell(std::clamp(row, 0, StringGridEventTypes->rowCount() - 1), 0);
}

int32_t TFormEventList::SelectedTypeIndex() const {
    const int row = StringGridEventTypes->currentRow();
    return m_project.EventTypes.IsValidIndex(row) ? row : -1;
}

void TFormEventList::ButtonNewClick() {
    if (m_typeEditor == nullptr)
        return;
    TEventTypeFields fields;
    if (!m_typeEditor->Edit(fields))
        return;
    // A group named in the editor may be created on the way: one step.
    const TProject::TChangeScope scope(m_project);
    TEventType type;
    ApplyEventTypeFields(m_project, fields, type);
    m_project.AddEventType(type);
    TypesChanged();
}

void TFormEventList::ButtonModifyClick() {
    const int32_t index = SelectedTypeIndex();
    if (index < 0 || m_typeEditor == nullptr)
        return;
    TEventTypeFields fields = FieldsOfEventType(m_project.EventTypes[index], m_project.Groups);
    if (!m_typeEditor->Edit(fields) || !m_project.EventTypes.IsValidIndex(index))
        return;
    {
        const TProject::TChangeScope scope(m_project);
        TEventType type = m_project.EventTypes[index];
        ApplyEventTypeFields(m_project, fields, type);
        m_project.ChangeEventType(index, std::move(type));
    }
    TypesChanged();
    if (m_hooks.RefreshEventViews)
        m_hooks.RefreshEventViews();
}

void TFormEventList::ButtonDeleteClick() {
    const int32_t index = SelectedTypeIndex();
    if (index < 0)
        return;
    if (m_hooks.DeleteEventType) {
        m_hooks.DeleteEventType(index);
        return;
    }
    m_project.DeleteEventType(index);
    RefreshTypeList();
}
