#pragma once
// The region export dialog: the event type, camera and person whose regions
// are exported.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread.

#include <QDialog>

#include "interchange/region_export.h"
#include "model/project.h"

class QComboBox;
class QLineEdit;
class QPushButton;

class TFormRegion : public QDialog {
    Q_OBJECT

public:
    TFormRegion(QWidget* owner, TProject& project);

    // Refills the list with every event type name in type-index order and
    // empties both fields; run each time an export starts.
    void Prepare();
    // The answer after OK: false when no type is selected. Throws
    // TConvertError "Invalid number!" when the camera is not an integer.
    bool Query(TRegionQuery& query) const;

    QComboBox* ComboBoxEvent;
    QLineEdit* EditCamera;
    QLineEdit* EditPerson;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

private:
    TProject& m_project;
};
