#pragma once
// The event filter: which event types the event list hides.
// One instance, created hidden by the main window at start-up and lives
// for the whole process. It reads the type names from the project each time
// it runs.
//
// Threads: the UI thread.

#include "model/project.h"

#include <QDialog>

#include <cstdint>
#include <set>

class QListWidget;
class QPushButton;

class TFormFilter : public QDialog {
    Q_OBJECT

public:
    TFormFilter(QWidget* owner, TProject& project);

    // Lists every type, selected unless `filteredTypes` holds its index, and
    // runs modally. On OK `filteredTypes` becomes the indexes of the rows
    // left unselected; on Cancel (false) it is left alone.
    bool AskFilteredTypes(std::set<int32_t>& filteredTypes);

    QListWidget* ListBoxTypes = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;

private:
    TProject& m_project;
};
