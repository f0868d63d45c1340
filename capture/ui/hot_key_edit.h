#pragma once
// A key capture field: pressing a key combination in it stores that
// combination's hot-key code and shows its text ("Ctrl+5"). Backspace or
// Delete alone clears it; Tab and Shift+Tab still move the focus; modifier
// keys alone change nothing.
//
// Threads: the UI thread.

#include "model/hot_keys.h"

#include <QLineEdit>

class THotKeyEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit THotKeyEdit(QWidget* parent = nullptr);

    THotKey Key() const { return m_key; }
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
    THotKey m_key = 0;
    bool m_isShiftAloneRefused = false;
};
