#include "capture/ui/form_event_group.h"

#include "capture/editor_fields.h"
#include "components/dialog_keys.h"
#include "document/entry_limits.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

TFormEventGroup::TFormEventGroup(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Event type group"));
    EditDescription = new QLineEdit(this);
    EditDescription->setMaxLength(MaxEnteredLineLength);
    ComboBoxMeaning = new QComboBox(this);
    ComboBoxMeaning->setEditable(true);
    ComboBoxMeaning->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxMeaning->lineEdit()->setMaxLength(MaxEnteredLineLength);
    ComboBoxMeaning->addItems({QStringLiteral("State"), QStringLiteral("Simple events")});
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonOK->setDefault(true);
    ButtonCancel->setAutoDefault(false);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("&Description"), EditDescription);
    fields->addRow(QStringLiteral("&Meaning"), ComboBoxMeaning);
    auto* buttons = NewOkCancelRow(ButtonOK, ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addStretch();
    layout->addLayout(buttons);
    setFixedSize(297, 138);

    connect(ButtonOK, &QPushButton::clicked, this, &TFormEventGroup::ButtonOKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFormEventGroup::Edit(QString& name, QString& meaning) {
    EditDescription->setText(name);
    ComboBoxMeaning->setCurrentIndex(ComboBoxMeaning->findText(meaning));
    ComboBoxMeaning->setEditText(meaning);
    if (exec() != QDialog::Accepted)
        return false;
    name = EditDescription->text();
    meaning = ComboBoxMeaning->currentText();
    return true;
}

void TFormEventGroup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    EditDescription->setFocus();
}

void TFormEventGroup::ButtonOKClick() {
    const QString refusal = GroupDescriptionRefusal(EditDescription->text());
    if (!refusal.isEmpty()) {
        QMessageBox::warning(this, QApplication::applicationName(), refusal);
        EditDescription->setFocus();
        return;
    }
    accept();
}
