#pragma once
// The event buttons: one button per active event type, recording it when
// clicked. With no buttons the window is 33 pixels high.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include "components/secondary_window.h"

#include "model/project.h"

#include <vector>

class QAction;
class QPushButton;

class TFormEventButtons : public TSecondaryWindow {
    Q_OBJECT

public:
    TFormEventButtons(QWidget* owner, TProject& project);

    // Replaces every button by one per command, in order: named "Button" n,
    // captioned like the command and running it when clicked; then the
    // window takes the fixed size that fits them.
    void SetButtons(const std::vector<QAction*>& commands);
    const std::vector<QPushButton*>& Buttons() const { return m_buttons; }

private:
    TProject& m_project;
    std::vector<QPushButton*> m_buttons;
};
