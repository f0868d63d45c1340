#include "playback/ui/form_camera.h"

#include "components/dialog_keys.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TFormCamera::TFormCamera(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Camera"));
    auto* label = new QLabel(QStringLiteral("Camera number"), this);
    CSpinEditCamera = new QSpinBox(this);
    CSpinEditCamera->setRange(-1, 1000);
    EndDialogOnEnterOrEscape(*this, *CSpinEditCamera);
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonOK->setDefault(true);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(CSpinEditCamera);
    auto* buttons = NewOkCancelRow(ButtonOK, ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    setFixedSize(220, 90);

    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFormCamera::AskCamera(int32_t& camera) {
    CSpinEditCamera->setValue(camera);
    CSpinEditCamera->selectAll();
    CSpinEditCamera->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    camera = CSpinEditCamera->value();
    return true;
}
