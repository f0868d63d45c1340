#pragma once
// A multi-line text field that takes no more than a given number of
// characters (UTF-16 code units, as QLineEdit::maxLength counts them) from
// the user: typing, pasting, dropping and input methods stop at the limit,
// and a paste that would pass it is cut to what fits. Text the program sets
// (setPlainText) is shown whole, so a longer text read from a file is never
// cut by merely opening it; the user can shorten it but not lengthen it.
//
// Threads: the UI thread.

#include <QPlainTextEdit>

class TBoundedPlainTextEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit TBoundedPlainTextEdit(QWidget* parent = nullptr);

    void SetMaxLength(int maxLength) { m_maxLength = maxLength; }
    int MaxLength() const { return m_maxLength; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // How many characters an insertion at the cursor may add (the selection
    // it replaces counts as room).
    int Room() const;

    int m_maxLength;
};
