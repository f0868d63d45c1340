#include "capture/ui/form_event_type_groups.h"

#include "capture/ui/form_event_group.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

TFormEventTypeGroups::TFormEventTypeGroups(QWidget* owner, TProject& project)
    : TSecondaryWindow(owner, QStringLiteral("Event type groups"), QSize(353, 258)), m_project(project) {
    ListViewGroups = new QTreeWidget(this);
    ListViewGroups->setColumnCount(2);
    ListViewGroups->setHeaderLabels({QStringLiteral("Groups"), QStringLiteral("Meaning")});
    ListViewGroups->setRootIsDecorated(false);
    ListViewGroups->setItemsExpandable(false);
    ListViewGroups->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListViewGroups->setSelectionMode(QAbstractItemView::SingleSelection);
    ListViewGroups->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QHeaderView* header = ListViewGroups->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::Interactive);
    header->resizeSection(1, 100);

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
    layout->addWidget(ListViewGroups, 1);
    layout->addLayout(buttons);

    connect(ButtonNew, &QPushButton::clicked, this, [this] { Run([this] { ButtonNewClick(); }); });
    connect(ButtonModify, &QPushButton::clicked, this, [this] { Run([this] { ButtonModifyClick(); }); });
    connect(ButtonDelete, &QPushButton::clicked, this, [this] { Run([this] { ButtonDeleteClick(); }); });
    connect(ListViewGroups, &QTreeWidget::itemDoubleClicked, this,
            [this] { Run([this] { ButtonModifyClick(); }); });
    connect(ListViewGroups, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        Run([this, item, column] { ListViewGroupsItemChanged(item, column); });
    });
    connect(ButtonClose, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
}

void TFormEventTypeGroups::Run(const std::function<void()>& handler) {
    m_hooks.Run(handler);
}

void TFormEventTypeGroups::GroupsChanged() {
    if (m_hooks.RefreshTypeList)
        m_hooks.RefreshTypeList();
    else
        RefreshGroupList();
    if (m_hooks.RefreshEventViews)
        m_hooks.RefreshEventViews();
}

void TFormEventTypeGroups::RefreshGroupList() {
    // Rows are reused rather than recreated: a tick the user just made
    // arrives here from inside its own row's change signal.
    m_isRebuilding = true;
    const int count = m_project.Groups.Count();
    while (ListViewGroups->topLevelItemCount() > count)
        delete ListViewGroups->takeTopLevelItem(ListViewGroups->topLevelItemCount() - 1);
    while (ListViewGroups->topLevelItemCount() < count) {
        auto* item = new QTreeWidgetItem(ListViewGroups);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    }
    for (int32_t i = 0; i < count; ++i) {
        const TEventTypeGroup& group = m_project.Groups[i];
        QTreeWidgetItem* item = ListViewGroups->topLevelItem(i);
        item->setText(0, group.Name);
        item->setText(1, group.Meaning);
        item->setCheckState(0, group.Enabled ? Qt::Checked : Qt::Unchecked);
    }
    m_isRebuilding = false;
}

int32_t TFormEventTypeGroups::SelectedGroupIndex() const {
    const QList<QTreeWidgetItem*> selected = ListViewGroups->selectedItems();
    if (selected.isEmpty())
        return -1;
    const int32_t index = ListViewGroups->indexOfTopLevelItem(selected.front());
    return m_project.Groups.IsValidIndex(index) ? index : -1;
}

void TFormEventTypeGroups::ListViewGroupsItemChanged(QTreeWidgetItem* item, int column) {
    if (m_isRebuilding || column != 0)
        return;
    const int32_t index = ListViewGroups->indexOfTopLevelItem(item);
    if (!m_project.Groups.IsValidIndex(index))
        return;
    const bool isEnabled = item->checkState(0) == Qt::Checked;
    if (m_project.Groups[index].Enabled == isEnabled)
        return;
    TEventTypeGroup group = m_project.Groups[index];
    group.Enabled = isEnabled;
    m_project.ChangeGroup(index, std::move(group));
    GroupsChanged();
}

void TFormEventTypeGroups::ButtonNewClick() {
    if (m_groupEditor == nullptr)
        return;
    TEventTypeGroup group;
    group.Meaning = QStringLiteral("State");
    if (!m_groupEditor->Edit(group.Name, group.Meaning))
        return;
    group.Enabled = true;
    m_project.AddGroup(group);
    RefreshGroupList();
}

void TFormEventTypeGroups::ButtonModifyClick() {
    const int32_t index = SelectedGroupIndex();
    if (index < 0 || m_groupEditor == nullptr)
        return;
    QString name = m_project.Groups[index].Name;
    QString meaning = m_project.Groups[index].Meaning;
    // The list is looked up again after the modal run rather than held
    // across it.
    if (!m_groupEditor->Edit(name, meaning) || !m_project.Groups.IsValidIndex(index))
        return;
    TEventTypeGroup group = m_project.Groups[index];
    group.Name = name;
    group.Meaning = meaning;
    m_project.ChangeGroup(index, std::move(group));
    RefreshGroupList();
    GroupsChanged();
}

void TFormEventTypeGroups::ButtonDeleteClick() {
    const int32_t index = SelectedGroupIndex();
    if (index < 0)
        return;
    m_project.DeleteGroup(index);
    RefreshGroupList();
    GroupsChanged();
}
