#pragma once
// TFormOffset: the number dialog. Asks for one integer under a caption and
// answers "Invalid number!" to anything that is not one, keeping the dialog
// open. It checks no range; callers do. One instance, created hidden by the
// main window at start-up, lives for the whole process.
//
// Threads: the UI thread.

#include <QDialog>
#include <QString>

#include <cstdint>

class QLineEdit;
class QPushButton;

class TFormOffset : public QDialog {
    Q_OBJECT

public:
    explicit TFormOffset(QWidget* owner);

    // Shows the dialog modally with value as its text and caption as its
    // title ("Offset" when empty). True, with the number in value, when the
    // user confirmed a valid integer; false, value unchanged, on Cancel.
    bool AskInteger(int32_t& value, const QString& caption = QString());

    QLineEdit* EditOffset = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ButtonOKClick();

    int32_t m_value = 0;
};
