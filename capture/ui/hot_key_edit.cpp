#include "capture/ui/hot_key_edit.h"

#include "capture/editor_fields.h"
#include "capture/qt_key_map.h"

#include <QKeyEvent>

THotKeyEdit::THotKeyEdit(QWidget* parent) : QLineEdit(parent) {
    // Typing goes through keyPressEvent only; no text cursor games, no
    // input method, no context menu that could paste text.
    setReadOnly(true);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setContextMenuPolicy(Qt::NoContextMenu);
    SetKey(0);
}

void THotKeyEdit::SetKey(THotKey key) {
    m_key = key;
    setText(key == 0 ? QString() : KeyToText(key));
}

bool THotKeyEdit::event(QEvent* event) {
    // Keys bound to shortcuts must reach the field, not a shortcut.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void THotKeyEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) &&
        (modifiers & ~Qt::ShiftModifier) == Qt::NoModifier) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    if ((key == Qt::Key_Backspace || key == Qt::Key_Delete) && modifiers == Qt::NoModifier) {
        if (m_key != 0) {
            SetKey(0);
            emit KeyChanged(0);
        }
        return;
    }
    THotKey captured = HotKeyFromQtKey(key, event->modifiers());
    if (captured == 0)
        return;
    if (m_isShiftAloneRefused)
        captured = HotKeyFieldValue(captured);
    if (captured == m_key)
        return;
    SetKey(captured);
    emit KeyChanged(captured);
}
