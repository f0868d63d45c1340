#pragma once
// The Hot keys dialog: rebinds the keys of the application commands.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include <QDialog>

class TFormHotKeys : public QDialog {
    Q_OBJECT

public:
    explicit TFormHotKeys(QWidget* owner);
};
