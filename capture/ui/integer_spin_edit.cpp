#include "capture/ui/integer_spin_edit.h"

#include "capture/editor_fields.h"

#include <QLineEdit>

#include <limits>

TIntegerSpinEdit::TIntegerSpinEdit(QWidget* parent) : QSpinBox(parent) {
    setRange(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    // No "correction to the previous value": what cannot be read becomes
    // the fallback, not whatever was there before.
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

void TIntegerSpinEdit::SetBounds(int32_t minimum, int32_t maximum) {
    m_isBounded = true;
    setRange(minimum, maximum);
}

int32_t TIntegerSpinEdit::FieldValue() {
    interpretText();
    const QString shown = textFromValue(value());
    if (lineEdit()->text() != shown)
        lineEdit()->setText(shown);
    return value();
}

QValidator::State TIntegerSpinEdit::validate(QString& /*text*/, int& /*position*/) const {
    // Letters are let through on purpose: they read as the fallback.
    return QValidator::Acceptable;
}

int TIntegerSpinEdit::valueFromText(const QString& text) const {
    bool isNumber = false;
    text.trimmed().toInt(&isNumber);
    if (!isNumber)
        return Fallback();
    return IntegerFieldValue(text, minimum());
}
