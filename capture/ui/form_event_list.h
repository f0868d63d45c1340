#pragma once
// The event type list: the types of the project with their keys, groups and
// default parameters, and the commands that edit them.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include "components/secondary_window.h"

#include "model/project.h"

class TFormEventList : public TSecondaryWindow {
    Q_OBJECT

public:
    TFormEventList(QWidget* owner, TProject& project);

private:
    TProject& m_project;
};
