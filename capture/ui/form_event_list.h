#pragma once
// The event type list: the types of the project with their keys, groups,
// colour codes, offsets and default parameters, and the commands that add,
// edit and delete them. Escape and the close box close it (see
// TSecondaryWindow). Deleting asks nothing.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include "capture/ui/type_window_hooks.h"
#include "components/secondary_window.h"

#include "model/project.h"

#include <cstdint>

class QPushButton;
class QTableWidget;
class TFormEvent;

class TFormEventList : public TSecondaryWindow {
    Q_OBJECT

public:
    TFormEventList(QWidget* owner, TProject& project);

    // The editor that New and Modify open; not owned.
    void SetTypeEditor(TFormEvent* editor) { m_typeEditor = editor; }
    void SetHooks(TTypeWindowHooks hooks) { m_hooks = std::move(hooks); }

    // Rebuilds the grid from the project's types (one empty row when there
    // are none) and drops from the filter set every index that names no
    // type. The event commands are the main window's business.
    void RefreshTypeList();
    // The type of the grid's current row, or -1 (none, or the empty row).
    int32_t SelectedTypeIndex() const;

    void ButtonNewClick();
    void ButtonModifyClick();
    void ButtonDeleteClick();

    QTableWidget* StringGridEventTypes = nullptr;
    QPushButton* ButtonNew = nullptr;
    QPushButton* ButtonModify = nullptr;
    QPushButton* ButtonDelete = nullptr;
    QPushButton* ButtonClose = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Run(const std::function<void()>& handler);
    void TypesChanged();

    TProject& m_project;
    TFormEvent* m_typeEditor = nullptr;
    TTypeWindowHooks m_hooks;
    bool m_hasBeenShown = false; // first shown centred on the owner
};
