#pragma once
// The region export dialog: the event type, camera and person whose regions
// are exported.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include <QDialog>

#include "model/project.h"

class TFormRegion : public QDialog {
    Q_OBJECT

public:
    TFormRegion(QWidget* owner, TProject& project);

private:
    TProject& m_project;
};
