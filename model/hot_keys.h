#pragma once
// Hot-key codes and their text form, shared by event types, secondary keys
// and the application's commands.
//
// A code's low byte is a key number in the Windows virtual-key numbering
// (8 backspace, 0x30-0x39 digits, 0x41-0x5A letters, 0x60-0x69 keypad digits,
// 0x70-0x87 F1-F24, ...); the bits below add modifiers; 0 means no key.
// The text form is the key's name after "Shift+", "Ctrl+", "Alt+" prefixes in
// that order, e.g. "Shift+Ctrl+A". Keys outside the fixed set (BkSp, Tab,
// Enter, Esc, Space, PgUp, PgDn, End, Home, Left, Up, Right, Down, Ins, Del,
// digits, letters, F1-F24) take the keyboard layout's name.

#include <QString>

#include <cstdint>

using THotKey = uint16_t;

constexpr THotKey HotKeyShift = 0x2000;
constexpr THotKey HotKeyCtrl = 0x4000;
constexpr THotKey HotKeyAlt = 0x8000;
constexpr THotKey HotKeyModifiers = HotKeyShift | HotKeyCtrl | HotKeyAlt;

// The text form; empty for 0 and for keys that have no name. Keypad digits
// are named like the main-row digits.
QString KeyToText(THotKey key);

// Parses a text form: any number of modifier prefixes in any order and any
// letter case ("Shift+", "Ctrl+" or "^", "Alt+"), then a key name compared
// ignoring letter case, the lowest key number with that name winning (so a
// digit is always the main-row digit). 0 when no key is named.
THotKey StandardTextToKey(const QString& text);

// StandardTextToKey, and when that names no key although something follows
// the modifier prefixes: the key that types the last character of the text
// on the keyboard layout, with the modifiers of the prefixes and of any
// "Shift+", "Ctrl+", "Alt+" inside the text. This keeps keys whose names
// depend on the layout (punctuation, national letters) readable from files
// written elsewhere. 0 when no key types that character either.
THotKey TextToKey(const QString& text);
