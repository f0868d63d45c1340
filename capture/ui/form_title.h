#pragma once
// The title dialog: time and text of one title.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include <QDialog>
#include <QString>

#include <cstdint>

class QPlainTextEdit;
class QPushButton;
class QSpinBox;

class TFormTitle : public QDialog {
    Q_OBJECT

public:
    explicit TFormTitle(QWidget* owner);

    // Shows time (project's unit) and text, runs modally; on OK writes the
    // fields back (the text may span lines). False on Cancel, nothing
    // changed.
    bool EditTitle(int32_t& time, QString& text);

    QSpinBox* CSpinEditTime = nullptr;
    QPlainTextEdit* MemoText = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;
};
