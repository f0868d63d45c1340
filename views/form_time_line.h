#pragma once
// The timeline: the events of grouped types as coloured tracks over time.
// At least 220 x 170 pixels outside.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include "components/secondary_window.h"

#include "model/project.h"

class TFormTimeLine : public TSecondaryWindow {
    Q_OBJECT

public:
    TFormTimeLine(QWidget* owner, TProject& project);

private:
    TProject& m_project;
};
