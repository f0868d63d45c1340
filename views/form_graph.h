#pragma once
// The graph window: the values of the "Graph" events of the last stretch of
// time as coloured curves. The image area starts at 640 x 160 pixels.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include "components/secondary_window.h"

#include "model/project.h"

class TFormGraph : public TSecondaryWindow {
    Q_OBJECT

public:
    TFormGraph(QWidget* owner, TProject& project);

private:
    TProject& m_project;
};
