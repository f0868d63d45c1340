#include "playback/ui/form_offset.h"

#include "components/dialog_keys.h"
#include "playback/media_set_logic.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

TFormOffset::TFormOffset(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Offset"));
    EditOffset = new QLineEdit(this);
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonOK->setDefault(true);

    auto* buttons = NewOkCancelRow(ButtonOK, ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(EditOffset);
    layout->addLayout(buttons);
    setFixedSize(240, 100);

    connect(ButtonOK, &QPushButton::clicked, this, [this] { ButtonOKClick(); });
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFormOffset::AskInteger(int32_t& value, const QString& caption) {
    setWindowTitle(caption.isEmpty() ? QStringLiteral("Offset") : caption);
    EditOffset->setText(QString::number(value));
    if (exec() != QDialog::Accepted)
        return false;
    value = m_value;
    return true;
}

void TFormOffset::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    EditOffset->selectAll();
    EditOffset->setFocus();
}

void TFormOffset::ButtonOKClick() {
    if (!ParseInteger(EditOffset->text(), m_value)) {
        QMessageBox::warning(this, QApplication::applicationName(), QStringLiteral("Invalid number!"));
        EditOffset->selectAll();
        EditOffset->setFocus();
        return;
    }
    accept();
}
