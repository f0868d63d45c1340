#pragma once
// The camera dialog: asks for the camera number of one medium.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include <QDialog>

class TFormCamera : public QDialog {
    Q_OBJECT

public:
    explicit TFormCamera(QWidget* owner);
};
