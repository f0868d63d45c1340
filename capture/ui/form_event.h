#pragma once
// The event type editor: one type with its key, group, colour code,
// offset, parameters and secondary keys.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include <QDialog>

#include "model/project.h"

class TFormEvent : public QDialog {
    Q_OBJECT

public:
    TFormEvent(QWidget* owner, TProject& project);

private:
    TProject& m_project;
};
