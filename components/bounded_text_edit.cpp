#include "components/bounded_text_edit.h"

#include <QKeyEvent>
#include <QMimeData>

#include <algorithm>
#include <limits>

TBoundedPlainTextEdit::TBoundedPlainTextEdit(QWidget* parent)
    : QPlainTextEdit(parent), m_maxLength(std::numeric_limits<int>::max()) {}

int TBoundedPlainTextEdit::Room() const {
    // characterCount counts the closing paragraph separator the user never
    // sees or saves.
    const int length = document()->characterCount() - 1;
    const QTextCursor cursor = textCursor();
    const int kept = length - (cursor.selectionEnd() - cursor.selectionStart());
    return std::max(0, m_maxLength - kept);
}

void TBoundedPlainTextEdit::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    const bool isLineBreak = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool typesText =
        isLineBreak || std::any_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
    const qsizetype added = isLineBreak ? 1 : text.size();
    if (typesText && !isReadOnly() && added > Room()) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TBoundedPlainTextEdit::inputMethodEvent(QInputMethodEvent* event) {
    const int room = Room();
    if (event->commitString().size() > room) {
        QInputMethodEvent cut(event->preeditString(), event->attributes());
        cut.setCommitString(event->commitString().left(room), event->replacementStart(),
                            event->replacementLength());
        QPlainTextEdit::inputMethodEvent(&cut);
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void TBoundedPlainTextEdit::insertFromMimeData(const QMimeData* source) {
    if (!source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QString text = source->text();
    const int room = Room();
    if (text.size() <= room) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    // Never split a surrogate pair: half a character would not save.
    qsizetype keep = room;
    if (keep > 0 && text[keep - 1].isHighSurrogate())
        --keep;
    QMimeData cut;
    cut.setText(text.left(keep));
    QPlainTextEdit::insertFromMimeData(&cut);
}
