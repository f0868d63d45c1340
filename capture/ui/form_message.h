#pragma once
// The event dialog: time, type, text and parameters of one event, also used
// to set up the mouse-mode template.
// One instance, created hidden by the main window at start-up and lives
// for the whole process. It reads the type names from the project each time
// it runs.
//
// Threads: the UI thread.

#include "capture/editing.h"
#include "model/project.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

// What the dialog edits: a recorded event, or the mouse-mode template (which
// has no time and no "Set parameters for all same events").
enum class TEventDialogUse { Event, MouseTemplate };

class TFormMessage : public QDialog {
    Q_OBJECT

public:
    TFormMessage(QWidget* owner, TProject& project);

    // Fills the dialog from `edit` (an invalid type selects the first one;
    // the time in the project's unit), runs it modally and, on OK, writes
    // the fields back into `edit`: TypeIndex is the chosen row (-1 when
    // there are no types). False on Cancel, `edit` unchanged. For the
    // template the time field shows 0 and, like the check box, is disabled
    // while the dialog runs.
    bool EditEvent(TEventEdit& edit, TEventDialogUse use = TEventDialogUse::Event);

    QSpinBox* CSpinEditTime = nullptr;
    QComboBox* ComboBoxEvent = nullptr;
    QLineEdit* EditText = nullptr;
    QPlainTextEdit* MemoParameters = nullptr;
    QCheckBox* CheckBoxAll = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;

private:
    void Fill(const TEventEdit& edit, TEventDialogUse use);
    TEventEdit Read() const;

    TProject& m_project;
};
