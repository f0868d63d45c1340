#pragma once
// The event buttons: one button per active event type, recording it when
// clicked. With no buttons the window is 33 pixels high.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include "components/secondary_window.h"

#include "model/project.h"

class TFormEventButtons : public TSecondaryWindow {
    Q_OBJECT

public:
    TFormEventButtons(QWidget* owner, TProject& project);

private:
    TProject& m_project;
};
