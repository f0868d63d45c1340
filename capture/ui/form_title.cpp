#include "capture/ui/form_title.h"

#include "components/bounded_text_edit.h"
#include "components/dialog_keys.h"
#include "document/entry_limits.h"

#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

TFormTitle::TFormTitle(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Title"));
    CSpinEditTime = new QSpinBox(this);
    CSpinEditTime->setObjectName(QStringLiteral("CSpinEditTime"));
    CSpinEditTime->setRange(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    EndDialogOnEnterOrEscape(*this, *CSpinEditTime);
    auto* memo = new TBoundedPlainTextEdit(this);
    memo->SetMaxLength(MaxEnteredTextLength);
    MemoText = memo;
    MemoText->setObjectName(QStringLiteral("MemoText"));
    CancelDialogOnEscape(*this, *MemoText);
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    // Enter belongs to the text box (a new line); only the time field
    // turns it into OK.
    ButtonOK->setAutoDefault(false);
    ButtonCancel->setAutoDefault(false);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Time"), CSpinEditTime);
    fields->addRow(QStringLiteral("Text"), MemoText);
    auto* buttons = NewOkCancelRow(ButtonOK, ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    resize(360, 230);

    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFormTitle::EditTitle(int32_t& time, QString& text) {
    CSpinEditTime->setValue(time);
    MemoText->setPlainText(text);
    CSpinEditTime->setFocus();
    CSpinEditTime->selectAll();
    if (exec() != QDialog::Accepted)
        return false;
    time = CSpinEditTime->value();
    text = MemoText->toPlainText();
    return true;
}
