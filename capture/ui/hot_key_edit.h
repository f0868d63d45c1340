#pragma once
// A key capture field: pressing a key combination in it stores that
// combination's hot-key code and shows its text ("Ctrl+5"). Every named key
// is taken, Backspace, Delete and Tab included, so the focus leaves the field
// by mouse only; the field's clear button (ClearAction) removes the key.
// Modifier keys alone change nothing.
//
// Threads: the UI thread.

#include "model/hot_keys.h"

#include <QLineEdit>

class QAction;

class THotKeyEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit THotKeyEdit(QWidget* parent = nullptr);

    THotKey Key() const { return m_key; }
    // The clear button at the end of the field, shown while it holds a key.
    QAction* ClearAction() const { return m_clearAction; }
    // Shows the key; emits nothing.
    void SetKey(THotKey key);
    // When set, Shift is not taken as the only modifier: Shift plus a key
    // stores the key alone (the event type editors' rule).
    void SetShiftAloneRefused(bool refused) { m_isShiftAloneRefused = refused; }

signals:
    // The user captured another key.
    void KeyChanged(THotKey key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    void Capture(THotKey key);

    QAction* m_clearAction = nullptr;
    THotKey m_key = 0;
    bool m_isShiftAloneRefused = false;
};
