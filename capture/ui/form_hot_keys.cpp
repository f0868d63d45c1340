#include "capture/ui/form_hot_keys.h"

#include "capture/editor_fields.h"
#include "capture/ui/hot_key_edit.h"

#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr int CommandRole = Qt::UserRole;
constexpr int KeyRole = Qt::UserRole + 1;

} // namespace

TFormHotKeys::TFormHotKeys(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Hot keys"));
    setFixedSize(336, 288);

    TreeViewHotKeys = new QTreeWidget(this);
    TreeViewHotKeys->setGeometry(8, 8, 193, 241);
    TreeViewHotKeys->setHeaderHidden(true);
    TreeViewHotKeys->setColumnCount(1);
    TreeViewHotKeys->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeViewHotKeys->setSelectionMode(QAbstractItemView::SingleSelection);

    HotKeyEdit = new THotKeyEdit(this);
    HotKeyEdit->setGeometry(208, 8, 121, 21);
    HotKeyEdit->setEnabled(false);

    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setGeometry(176, 256, 72, 25);
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setGeometry(256, 256, 72, 25);

    connect(TreeViewHotKeys, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { TreeViewHotKeysChange(current); });
    connect(HotKeyEdit, &THotKeyEdit::KeyChanged, this, &TFormHotKeys::HotKeyEditChange);
    connect(ButtonOK, &QPushButton::clicked, this, &TFormHotKeys::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &TFormHotKeys::reject);
}

void TFormHotKeys::Load(std::span<const TAppCommandInfo> table,
                        const std::function<THotKey(TAppCommandId)>& keyOf) {
    TreeViewHotKeys->clear();
    for (const THotKeyCategory& category : HotKeyTree(table)) {
        auto* categoryNode = new QTreeWidgetItem(TreeViewHotKeys, QStringList{category.Category});
        for (const TAppCommandId id : category.Commands) {
            const auto info = std::find_if(table.begin(), table.end(),
                                           [id](const TAppCommandInfo& entry) { return entry.Id == id; });
            const QString caption = QString::fromUtf8(info->Caption).remove(QLatin1Char('&'));
            auto* node = new QTreeWidgetItem(categoryNode, QStringList{caption});
            node->setData(0, CommandRole, static_cast<int>(id));
            node->setData(0, KeyRole, static_cast<int>(keyOf(id)));
        }
    }
    TreeViewHotKeys->setCurrentItem(nullptr);
    TreeViewHotKeysChange(nullptr);
}

std::vector<THotKeyBinding> TFormHotKeys::Bindings() const {
    std::vector<THotKeyBinding> bindings;
    for (int i = 0; i < TreeViewHotKeys->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* category = TreeViewHotKeys->topLevelItem(i);
        for (int j = 0; j < category->childCount(); ++j) {
            const QTreeWidgetItem* node = category->child(j);
            if (const auto id = NodeCommand(node))
                bindings.push_back({*id, NodeKey(node)});
        }
    }
    return bindings;
}

std::optional<TAppCommandId> TFormHotKeys::NodeCommand(const QTreeWidgetItem* node) {
    if (node == nullptr)
        return std::nullopt;
    const QVariant command = node->data(0, CommandRole);
    if (!command.isValid())
        return std::nullopt;
    return static_cast<TAppCommandId>(command.toInt());
}

THotKey TFormHotKeys::NodeKey(const QTreeWidgetItem* node) {
    return node == nullptr ? THotKey{0} : static_cast<THotKey>(node->data(0, KeyRole).toInt());
}

void TFormHotKeys::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        if (const QWidget* owner = parentWidget())
            move(owner->frameGeometry().center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}

void TFormHotKeys::TreeViewHotKeysChange(QTreeWidgetItem* node) {
    const bool isCommand = NodeCommand(node).has_value();
    HotKeyEdit->setEnabled(isCommand);
    HotKeyEdit->SetKey(isCommand ? NodeKey(node) : 0);
}

void TFormHotKeys::HotKeyEditChange(THotKey key) {
    QTreeWidgetItem* node = TreeViewHotKeys->currentItem();
    if (NodeCommand(node))
        node->setData(0, KeyRole, static_cast<int>(key));
}
