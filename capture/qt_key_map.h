#pragma once
// Qt key events in the hot-key numbering that commands, event types and the
// settings file use (Windows virtual-key numbers plus modifier bits).
//
// Threads: any (pure function).

#include "model/hot_keys.h"

#include <Qt>

// The hot-key code of a key press: the key's virtual-key number with the
// Shift, Ctrl and Alt bits of `modifiers`. Digits with Qt::KeypadModifier are
// the keypad digits (96-105); letters, main-row digits, F1-F24, the editing
// and navigation keys and the punctuation of the US layout map to their
// numbers. 0 for modifier keys alone and for keys that have no number, so
// they match no command.
THotKey HotKeyFromQtKey(int qtKey, Qt::KeyboardModifiers modifiers);
