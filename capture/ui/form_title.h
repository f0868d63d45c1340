#pragma once
// The title dialog: time and text of one title.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include <QDialog>

class TFormTitle : public QDialog {
    Q_OBJECT

public:
    explicit TFormTitle(QWidget* owner);
};
