#pragma once
// TFormCamera: the camera dialog, asking for the camera number of one medium
// (-1 for none, up to 1000). One instance, created hidden by the main window
// at start-up, lives for the whole process.
//
// Threads: the UI thread.

#include <QDialog>

#include <cstdint>

class QPushButton;
class QSpinBox;

class TFormCamera : public QDialog {
    Q_OBJECT

public:
    explicit TFormCamera(QWidget* owner);

    // Shows the dialog modally preset to camera; true with the chosen number
    // in camera on OK (or Enter), false and camera unchanged otherwise.
    bool AskCamera(int32_t& camera);

    QSpinBox* CSpinEditCamera = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;
};
