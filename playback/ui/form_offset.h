#pragma once
// The number dialog: asks for one integer under a caption.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include <QDialog>

class TFormOffset : public QDialog {
    Q_OBJECT

public:
    explicit TFormOffset(QWidget* owner);
};
