#pragma once
// The event filter: which event types the event list hides.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include <QDialog>

#include "model/project.h"

class TFormFilter : public QDialog {
    Q_OBJECT

public:
    TFormFilter(QWidget* owner, TProject& project);

private:
    TProject& m_project;
};
