#include "capture/qt_key_map.h"

#include "platform/keyboard_layout.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<int, int>, 24> NamedKeys = {{
    {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},       {Qt::Key_Backtab, 9},      {Qt::Key_Return, 13},
    {Qt::Key_Enter, 13},    {Qt::Key_Pause, 19},    {Qt::Key_CapsLock, 20},    {Qt::Key_Escape, 27},
    {Qt::Key_Space, 32},    {Qt::Key_PageUp, 33},   {Qt::Key_PageDown, 34},    {Qt::Key_End, 35},
    {Qt::Key_Home, 36},     {Qt::Key_Left, 37},     {Qt::Key_Up, 38},          {Qt::Key_Right, 39},
    {Qt::Key_Down, 40},     {Qt::Key_Print, 44},    {Qt::Key_Insert, 45},      {Qt::Key_Delete, 46},
    {Qt::Key_Menu, 93},     {Qt::Key_NumLock, 144}, {Qt::Key_ScrollLock, 145}, {Qt::Key_Clear, 12},
}};

// The keypad's operator keys have numbers of their own, unlike the keys that
// type the same characters on the main block.
constexpr std::array<std::pair<int, int>, 5> KeypadOperators = {{
    {Qt::Key_Asterisk, 106},
    {Qt::Key_Plus, 107},
    {Qt::Key_Minus, 109},
    {Qt::Key_Period, 110},
    {Qt::Key_Slash, 111},
}};

template <std::size_t N> int Lookup(const std::array<std::pair<int, int>, N>& table, int qtKey) {
    for (const auto& [key, virtualKey] : table) {
        if (key == qtKey)
            return virtualKey;
    }
    return 0;
}

int VirtualKeyOf(int qtKey, bool isKeypad) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return (isKeypad ? 96 : 48) + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 65 + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 112 + (qtKey - Qt::Key_F1);
    if (isKeypad) {
        if (const int virtualKey = Lookup(KeypadOperators, qtKey))
            return virtualKey;
    }
    if (const int virtualKey = Lookup(NamedKeys, qtKey))
        return virtualKey;
    // Printable keys below 0x100 carry their Latin-1 character as key code;
    // a shifted punctuation key arrives as the shifted character.
    if (qtKey > Qt::Key_Space && qtKey < 0x100) {
        const int virtualKey = VirtualKeyForChar(static_cast<char32_t>(qtKey));
        return virtualKey > 0 ? virtualKey : 0;
    }
    return 0;
}

} // namespace

THotKey HotKeyFromQtKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    const int virtualKey = VirtualKeyOf(qtKey, modifiers.testFlag(Qt::KeypadModifier));
    if (virtualKey <= 0 || virtualKey > 0xFF)
        return 0;
    THotKey code = static_cast<THotKey>(virtualKey);
    if (modifiers.testFlag(Qt::ShiftModifier))
        code |= HotKeyShift;
    if (modifiers.testFlag(Qt::ControlModifier))
        code |= HotKeyCtrl;
    if (modifiers.testFlag(Qt::AltModifier))
        code |= HotKeyAlt;
    return code;
}
