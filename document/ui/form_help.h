#pragma once
// The Help window: the transport and file keys as fixed-pitch text with a
// Close button. Shown modally by the Help command.
//
// Threads: the UI thread.

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

class TFormHelp : public QDialog {
    Q_OBJECT

public:
    explicit TFormHelp(QWidget* owner);

    QPlainTextEdit* MemoHelp;
    QPushButton* ButtonClose;
};
