#include "capture/ui/form_message.h"

#include "components/bounded_text_edit.h"
#include "components/dialog_keys.h"
#include "document/entry_limits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

TFormMessage::TFormMessage(QWidget* owner, TProject& project) : QDialog(owner), m_project(project) {
    setWindowTitle(QStringLiteral("Event"));

    CSpinEditTime = new QSpinBox(this);
    CSpinEditTime->setObjectName(QStringLiteral("CSpinEditTime"));
    // Any stored time may be shown, negative ones included.
    CSpinEditTime->setRange(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    EndDialogOnEnterOrEscape(*this, *CSpinEditTime);
    ComboBoxEvent = new QComboBox(this);
    ComboBoxEvent->setObjectName(QStringLiteral("ComboBoxEvent"));
    ComboBoxEvent->setEditable(false);
    EditText = new QLineEdit(this);
    EditText->setMaxLength(MaxEnteredLineLength);
    EditText->setObjectName(QStringLiteral("EditText"));
    auto* memo = new TBoundedPlainTextEdit(this);
    memo->SetMaxLength(MaxEnteredParametersLength);
    MemoParameters = memo;
    MemoParameters->setObjectName(QStringLiteral("MemoParameters"));
    MemoParameters->setLineWrapMode(QPlainTextEdit::NoWrap);
    CheckBoxAll = new QCheckBox(QStringLiteral("Set parameters for all same events"), this);
    CheckBoxAll->setObjectName(QStringLiteral("CheckBoxAll"));
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonOK->setDefault(true);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Time"), CSpinEditTime);
    fields->addRow(QStringLiteral("Event"), ComboBoxEvent);
    fields->addRow(QStringLiteral("Text"), EditText);
    fields->addRow(QStringLiteral("Parameters"), MemoParameters);
    auto* buttons = NewOkCancelRow(ButtonOK, ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(CheckBoxAll);
    layout->addLayout(buttons);
    setFixedSize(400, 330);

    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFormMessage::EditEvent(TEventEdit& edit, TEventDialogUse use) {
    Fill(edit, use);
    const bool isAccepted = exec() == QDialog::Accepted;
    // The template run disables these two; an event run after it must find
    // them usable whatever the answer was.
    CSpinEditTime->setEnabled(true);
    CheckBoxAll->setEnabled(true);
    if (!isAccepted)
        return false;
    edit = Read();
    if (use == TEventDialogUse::MouseTemplate)
        edit.IsSetForAllSame = false;
    return true;
}

void TFormMessage::Fill(const TEventEdit& edit, TEventDialogUse use) {
    const bool isTemplate = use == TEventDialogUse::MouseTemplate;
    CSpinEditTime->setValue(isTemplate ? 0 : edit.Time);
    CSpinEditTime->setEnabled(!isTemplate);
    CheckBoxAll->setChecked(false);
    CheckBoxAll->setEnabled(!isTemplate);

    ComboBoxEvent->clear();
    for (const TEventType& type : m_project.EventTypes)
        ComboBoxEvent->addItem(type.Name);
    ComboBoxEvent->setCurrentIndex(m_project.EventTypes.IsValidIndex(edit.TypeIndex) ? edit.TypeIndex : 0);

    EditText->setText(edit.Text);
    QStringList lines;
    edit.Parameters.ParametersToLines(lines);
    MemoParameters->setPlainText(lines.join(QLatin1Char('\n')));

    QWidget* first = isTemplate ? static_cast<QWidget*>(ComboBoxEvent) : CSpinEditTime;
    first->setFocus();
    if (!isTemplate)
        CSpinEditTime->selectAll();
}

TEventEdit TFormMessage::Read() const {
    TEventEdit edit;
    edit.Time = CSpinEditTime->value();
    edit.TypeIndex = ComboBoxEvent->currentIndex();
    edit.Text = EditText->text();
    edit.Parameters.ParametersFromLines(MemoParameters->toPlainText().split(QLatin1Char('\n')));
    edit.IsSetForAllSame = CheckBoxAll->isChecked();
    return edit;
}
