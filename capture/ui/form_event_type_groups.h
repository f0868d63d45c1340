#pragma once
// The group list: the project's event type groups with their enabled boxes.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include "components/secondary_window.h"

#include "model/project.h"

class TFormEventTypeGroups : public TSecondaryWindow {
    Q_OBJECT

public:
    TFormEventTypeGroups(QWidget* owner, TProject& project);

private:
    TProject& m_project;
};
