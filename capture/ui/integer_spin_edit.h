#pragma once
// The integer field with arrows of the editors. Any text may be typed; text
// that is not an integer reads as the field's fallback and is replaced by it
// once the field is left or interpreted. A bounded field's fallback is its
// minimum (and a number below it reads as the minimum); an unbounded field's
// fallback is 0.
//
// Threads: the UI thread.

#include <QSpinBox>

#include <cstdint>

class TIntegerSpinEdit : public QSpinBox {
public:
    // Unbounded: the whole 32-bit range, fallback 0.
    explicit TIntegerSpinEdit(QWidget* parent = nullptr);

    // Bounded: fallback `minimum`.
    void SetBounds(int32_t minimum, int32_t maximum);
    int32_t Fallback() const { return m_isBounded ? minimum() : 0; }
    // The value of the text as it stands, also written back into the field.
    int32_t FieldValue();

protected:
    QValidator::State validate(QString& text, int& position) const override;
    int valueFromText(const QString& text) const override;

private:
    bool m_isBounded = false;
};
