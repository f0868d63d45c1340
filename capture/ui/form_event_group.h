#pragma once
// The group editor: asks for one group's description and meaning.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include <QDialog>

class TFormEventGroup : public QDialog {
    Q_OBJECT

public:
    explicit TFormEventGroup(QWidget* owner);
};
