#include "capture/ui/form_secondary_key.h"

#include "capture/editor_fields.h"
#include "capture/ui/hot_key_edit.h"
#include "capture/ui/integer_spin_edit.h"
#include "components/bounded_text_edit.h"
#include "components/dialog_keys.h"
#include "document/entry_limits.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFormSecondaryKey::TFormSecondaryKey(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Secondary hot key"));
    HotKeySecondary = new THotKeyEdit(this);
    HotKeySecondary->SetShiftAloneRefused(true);
    CSpinEditOffset = new TIntegerSpinEdit(this);
    auto* memo = new TBoundedPlainTextEdit(this);
    memo->SetMaxLength(MaxEnteredParametersLength);
    MemoParameters = memo;
    MemoParameters->setTabChangesFocus(true);
    MemoParameters->setMinimumHeight(40);
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonOK->setDefault(true);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Hot &key"), HotKeySecondary);
    fields->addRow(QStringLiteral("O&ffset"), CSpinEditOffset);
    fields->addRow(QStringLiteral("&Parameters"), MemoParameters);
    auto* buttons = NewOkCancelRow(ButtonOK, ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    resize(331, 173);

    connect(ButtonOK, &QPushButton::clicked, this, &TFormSecondaryKey::ButtonOKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFormSecondaryKey::Edit(TSecondaryKey& key) {
    HotKeySecondary->SetKey(key.Key);
    CSpinEditOffset->setValue(key.Offset);
    QStringList lines;
    key.Parameters.ParametersToLines(lines);
    MemoParameters->setPlainText(lines.join(QLatin1Char('\n')));
    if (exec() != QDialog::Accepted)
        return false;
    key.Key = HotKeySecondary->Key();
    key.Offset = CSpinEditOffset->FieldValue();
    key.Parameters.ParametersFromLines(MemoParameters->toPlainText().split(QLatin1Char('\n')));
    return true;
}

void TFormSecondaryKey::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    HotKeySecondary->setFocus();
}

void TFormSecondaryKey::ButtonOKClick() {
    const QString refusal = SecondaryKeyRefusal(HotKeySecondary->Key());
    if (!refusal.isEmpty()) {
        QMessageBox::warning(this, QApplication::applicationName(), refusal);
        HotKeySecondary->setFocus();
        return;
    }
    accept();
}
