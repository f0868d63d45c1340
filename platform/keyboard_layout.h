#pragma once
// Keyboard layout queries in the Windows virtual-key numbering, which hot-key
// codes use on every platform (8 backspace, 0x41-0x5A letters, 0x70 F1, ...).
//
// The layout is the US English one. Names are UTF-8 and unique within 8-255
// ignoring letter case, so a name read back identifies its key; punctuation
// keys are named by the character they type without Shift.
//
// Plain functions over constant tables: callable from any thread, never throw.

#include <string>

// The key's name, or the empty text when the layout has no such key.
std::string VirtualKeyName(int virtualKey);

// The key that types the character, with or without Shift; -1 when no key of
// the layout types it.
int VirtualKeyForChar(char32_t character);
