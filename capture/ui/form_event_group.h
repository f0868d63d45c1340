#pragma once
// The group editor: asks for one group's description and meaning (any
// text; "State" and "Simple events" are offered). OK with an empty
// description answers "Enter group description" and keeps the dialog open.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include <QDialog>
#include <QString>

class QComboBox;
class QLineEdit;
class QPushButton;

class TFormEventGroup : public QDialog {
    Q_OBJECT

public:
    explicit TFormEventGroup(QWidget* owner);

    // Shows the editor modally preset to name and meaning. True, with both
    // as the user left them, on OK; false and both untouched otherwise.
    bool Edit(QString& name, QString& meaning);

    QLineEdit* EditDescription = nullptr;
    QComboBox* ComboBoxMeaning = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ButtonOKClick();
};
