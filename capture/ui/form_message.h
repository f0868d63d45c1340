#pragma once
// The event dialog: time, type, text and parameters of one event, also used
// to set up the mouse-mode template.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include <QDialog>

#include "model/project.h"

class TFormMessage : public QDialog {
    Q_OBJECT

public:
    TFormMessage(QWidget* owner, TProject& project);

private:
    TProject& m_project;
};
