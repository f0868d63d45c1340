#include "capture/ui/hot_key_edit.h"

#include "capture/editor_fields.h"
#include "capture/qt_key_map.h"

#include <QAction>
#include <QKeyEvent>
#include <QStyle>

THotKeyEdit::THotKeyEdit(QWidget* parent) : QLineEdit(parent) {
    // Typing goes through keyPressEvent only; no text cursor games, no
    // input method, no context menu that could paste text.
    setReadOnly(true);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setContextMenuPolicy(Qt::NoContextMenu);
    // QLineEdit's own clear button is never shown on a read-only field.
    m_clearAction = addAction(style()->standardIcon(QStyle::SP_LineEditClearButton), TrailingPosition);
    m_clearAction->setToolTip(QStringLiteral("Clear"));
    connect(m_clearAction, &QAction::triggered, this, [this] { Capture(0); });
    SetKey(0);
}

void THotKeyEdit::SetKey(THotKey key) {
    m_key = key;
    setText(key == 0 ? QString() : KeyToText(key));
    m_clearAction->setVisible(key != 0);
}

void THotKeyEdit::Capture(THotKey key) {
    if (key == m_key)
        return;
    SetKey(key);
    emit KeyChanged(key);
}

bool THotKeyEdit::event(QEvent* event) {
    // Keys bound to shortcuts must reach the field, not a shortcut.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    // Tab would otherwise move the focus before keyPressEvent sees it.
    if (event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    return QLineEdit::event(event);
}

void THotKeyEdit::keyPressEvent(QKeyEvent* event) {
    event->accept();
    THotKey captured = HotKeyFromQtKey(event->key(), event->modifiers());
    if (captured == 0)
        return;
    if (m_isShiftAloneRefused)
        captured = HotKeyFieldValue(captured);
    Capture(captured);
}
