#pragma once
// The Input devices dialog: the media backends in the order the registry
// tries them, checked when they take part. OK stores the order of the checked
// items as the backend order (unchecked ones are left out); the main window
// then writes it to the settings file. Cancel changes nothing.
//
// Threads: the UI thread (the backend order is process-wide state of the
// media registry).

#include "media/registry/registry.h"

#include <QDialog>

class QListWidget;
class QPushButton;

class TFormInputDevices : public QDialog {
    Q_OBJECT

public:
    explicit TFormInputDevices(QWidget* owner);

    // Lists the backends by their current position, the used ones checked
    // first, then the unused ones unchecked. Each item shows the backend's
    // description and carries its id.
    void Load(const TAVFileDeviceList& devices);

    // Exchange the selected item with its neighbour, keeping it selected;
    // nothing happens at the ends or without a selection.
    void ButtonUpClick();
    void ButtonDownClick();

    // The backend id an item carries.
    static int32_t ItemDeviceId(int row, const QListWidget& list);

    QListWidget* CheckListBoxDevices;
    QPushButton* ButtonUp;
    QPushButton* ButtonDown;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

public slots:
    // Sets the backend order from the items, top to bottom, then closes.
    void accept() override;

private:
    void ExchangeItems(int row, int otherRow);
};
