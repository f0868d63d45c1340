#pragma once
// The output window: the picture of the camera the newest "Output" event
// names.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include "components/secondary_window.h"

#include "model/project.h"

class TFormOutput : public TSecondaryWindow {
    Q_OBJECT

public:
    TFormOutput(QWidget* owner, TProject& project);

private:
    TProject& m_project;
};
