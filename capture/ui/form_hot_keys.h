#pragma once
// The Hot keys dialog: rebinds the keys of the application commands.
// A read-only tree lists the visible commands under their categories (the
// categories in the order of their first command); the key capture field
// beside it edits the key of the selected command node and is disabled on a
// category node. Keys are edited in the tree's nodes only; the owner reads
// them back with Bindings after OK, so a cancelled dialog changes nothing. No
// check is made for a key used twice.
// One instance, created hidden by the main window at start-up and lives
// for the whole process; shown modally, centred on its owner.
//
// Threads: the UI thread.

#include "document/app_commands.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <span>
#include <vector>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class THotKeyEdit;

struct THotKeyBinding {
    TAppCommandId Command;
    THotKey Key = 0;
};

class TFormHotKeys : public QDialog {
    Q_OBJECT

public:
    explicit TFormHotKeys(QWidget* owner);

    // Clears the tree and fills it in table order: one node per category,
    // under it one node per visible command (its caption without "&")
    // holding the command's current key, keyOf(command). Nothing is
    // selected.
    void Load(std::span<const TAppCommandInfo> table, const std::function<THotKey(TAppCommandId)>& keyOf);
    // Every command node's key, changed or not, in tree order.
    std::vector<THotKeyBinding> Bindings() const;

    // The command a node stands for; nullopt for a category node or null.
    static std::optional<TAppCommandId> NodeCommand(const QTreeWidgetItem* node);
    static THotKey NodeKey(const QTreeWidgetItem* node);

    QTreeWidget* TreeViewHotKeys;
    THotKeyEdit* HotKeyEdit;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void TreeViewHotKeysChange(QTreeWidgetItem* node);
    void HotKeyEditChange(THotKey key);
};
