#include "interchange/ui/form_region.h"

#include "base/exception.h"
#include "components/dialog_keys.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFormRegion::TFormRegion(QWidget* owner, TProject& project) : QDialog(owner), m_project(project) {
    setWindowTitle(QStringLiteral("Region"));
    setFixedSize(260, 150);
    ComboBoxEvent = new QComboBox(this);
    EditCamera = new QLineEdit(this);
    EditPerson = new QLineEdit(this);
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Event"), ComboBoxEvent);
    form->addRow(QStringLiteral("Camera"), EditCamera);
    form->addRow(QStringLiteral("Person"), EditPerson);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(NewOkCancelRow(ButtonOK, ButtonCancel));
    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormRegion::Prepare() {
    ComboBoxEvent->clear();
    for (int32_t i = 0; i < m_project.EventTypes.Count(); ++i)
        ComboBoxEvent->addItem(m_project.EventTypes[i].Name);
    ComboBoxEvent->setCurrentIndex(-1);
    EditCamera->clear();
    EditPerson->clear();
}

bool TFormRegion::Query(TRegionQuery& query) const {
    bool isNumber = false;
    const int camera = EditCamera->text().trimmed().toInt(&isNumber, 10);
    if (!isNumber)
        throw TConvertError("Invalid number!");
    if (ComboBoxEvent->currentIndex() < 0)
        return false;
    query.EventType = ComboBoxEvent->currentIndex();
    query.Camera = camera;
    query.Person = EditPerson->text();
    return true;
}
