#pragma once
// The secondary hot key dialog: key, offset and parameters of one secondary
// key of an event type. Resizable; the size is the outer size. Enter in the
// offset field acts as OK, Escape as Cancel; OK without a key answers
// "Enter hot key!" and keeps the dialog open.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include "model/event_types.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;
class THotKeyEdit;
class TIntegerSpinEdit;

class TFormSecondaryKey : public QDialog {
    Q_OBJECT

public:
    explicit TFormSecondaryKey(QWidget* owner);

    // Shows the dialog modally preset to `key` (offset in the project's time
    // unit). True, with `key` as the user left it, on OK; false and `key`
    // untouched otherwise.
    bool Edit(TSecondaryKey& key);

    THotKeyEdit* HotKeySecondary = nullptr;
    TIntegerSpinEdit* CSpinEditOffset = nullptr;
    QPlainTextEdit* MemoParameters = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ButtonOKClick();
};
