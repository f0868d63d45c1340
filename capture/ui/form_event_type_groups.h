#pragma once
// The group list: the project's event type groups, each row with a check
// box that shows and sets the group's Enabled, and the commands that add,
// edit and delete groups. Escape and the close box close it (see
// TSecondaryWindow). Deleting asks nothing; the group's types stay, without
// a group.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include "capture/ui/type_window_hooks.h"
#include "components/secondary_window.h"

#include "model/project.h"

#include <cstdint>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TFormEventGroup;

class TFormEventTypeGroups : public TSecondaryWindow {
    Q_OBJECT

public:
    TFormEventTypeGroups(QWidget* owner, TProject& project);

    // The editor that New and Modify open; not owned.
    void SetGroupEditor(TFormEventGroup* editor) { m_groupEditor = editor; }
    void SetHooks(TTypeWindowHooks hooks) { m_hooks = std::move(hooks); }

    // One row per group in list order: name with the Enabled box, meaning.
    void RefreshGroupList();
    // The group of the selected row, or -1.
    int32_t SelectedGroupIndex() const;

    void ButtonNewClick();
    void ButtonModifyClick();
    void ButtonDeleteClick();

    QTreeWidget* ListViewGroups = nullptr;
    QPushButton* ButtonNew = nullptr;
    QPushButton* ButtonModify = nullptr;
    QPushButton* ButtonDelete = nullptr;
    QPushButton* ButtonClose = nullptr;

private:
    void Run(const std::function<void()>& handler);
    void GroupsChanged();
    void ListViewGroupsItemChanged(QTreeWidgetItem* item, int column);

    TProject& m_project;
    TFormEventGroup* m_groupEditor = nullptr;
    TTypeWindowHooks m_hooks;
    // Check boxes set while rows are rebuilt are not the user's doing.
    bool m_isRebuilding = false;
};
