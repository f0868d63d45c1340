#pragma once
// The secondary hot key dialog: key, offset and parameters of one secondary
// key of an event type. Resizable; the size is the outer size.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include <QDialog>

class TFormSecondaryKey : public QDialog {
    Q_OBJECT

public:
    explicit TFormSecondaryKey(QWidget* owner);
};
