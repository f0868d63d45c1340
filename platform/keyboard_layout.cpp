#include "platform/keyboard_layout.h"

#include <array>
#include <string_view>

namespace {

struct TKeyName {
    int VirtualKey;
    std::string_view Name;
};

// Keys without a symbol of their own. Letters, digits, function keys and
// keypad digits are generated in VirtualKeyName.
constexpr TKeyName NamedKeys[] = {
    {0x08, "Backspace"},
    {0x09, "Tab"},
    {0x0C, "Clear"},
    {0x0D, "Enter"},
    {0x10, "Shift"},
    {0x11, "Ctrl"},
    {0x12, "Alt"},
    {0x13, "Pause"},
    {0x14, "Caps Lock"},
    {0x1B, "Esc"},
    {0x20, "Space"},
    {0x21, "Page Up"},
    {0x22, "Page Down"},
    {0x23, "End"},
    {0x24, "Home"},
    {0x25, "Left"},
    {0x26, "Up"},
    {0x27, "Right"},
    {0x28, "Down"},
    {0x29, "Select"},
    {0x2A, "Print"},
    {0x2B, "Execute"},
    {0x2C, "Print Screen"},
    {0x2D, "Insert"},
    {0x2E, "Delete"},
    {0x2F, "Help"},
    {0x5B, "Left Windows"},
    {0x5C, "Right Windows"},
    {0x5D, "Application"},
    {0x5F, "Sleep"},
    // The keypad operators carry a prefix so that they never clash with the
    // main keys typing the same character.
    {0x6A, "Num *"},
    {0x6B, "Num +"},
    {0x6C, "Num Separator"},
    {0x6D, "Num -"},
    {0x6E, "Num ."},
    {0x6F, "Num /"},
    {0x90, "Num Lock"},
    {0x91, "Scroll Lock"},
    {0xA0, "Left Shift"},
    {0xA1, "Right Shift"},
    {0xA2, "Left Ctrl"},
    {0xA3, "Right Ctrl"},
    {0xA4, "Left Alt"},
    {0xA5, "Right Alt"},
    {0xA6, "Browser Back"},
    {0xA7, "Browser Forward"},
    {0xA8, "Browser Refresh"},
    {0xA9, "Browser Stop"},
    {0xAA, "Browser Search"},
    {0xAB, "Browser Favorites"},
    {0xAC, "Browser Home"},
    {0xAD, "Volume Mute"},
    {0xAE, "Volume Down"},
    {0xAF, "Volume Up"},
    {0xB0, "Next Track"},
    {0xB1, "Previous Track"},
    {0xB2, "Stop Media"},
    {0xB3, "Play/Pause Media"},
    {0xB4, "Start Mail"},
    {0xB5, "Select Media"},
    {0xB6, "Start Application 1"},
    {0xB7, "Start Application 2"},
    {0xF6, "Attn"},
    {0xF7, "CrSel"},
    {0xF8, "ExSel"},
    {0xF9, "Erase EOF"},
    {0xFA, "Play"},
    {0xFB, "Zoom"},
    {0xFD, "PA1"},
    {0xFE, "OEM Clear"},
};

// A key typing two characters: the first without Shift (also its name), the
// second with Shift.
struct TCharKey {
    int VirtualKey;
    char Plain;
    char Shifted;
};

constexpr TCharKey CharKeys[] = {
    {0xBA, ';', ':'},  {0xBB, '=', '+'}, {0xBC, ',', '<'},  {0xBD, '-', '_'},
    {0xBE, '.', '>'},  {0xBF, '/', '?'}, {0xC0, '`', '~'},  {0xDB, '[', '{'},
    {0xDC, '\\', '|'}, {0xDD, ']', '}'}, {0xDE, '\'', '"'},
};

// Shifted main-row digits 0-9.
constexpr std::string_view ShiftedDigits = ")!@#$%^&*(";

} // namespace

std::string VirtualKeyName(int virtualKey) {
    if (virtualKey >= '0' && virtualKey <= '9')
        return std::string(1, static_cast<char>(virtualKey));
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return std::string(1, static_cast<char>(virtualKey));
    if (virtualKey >= 0x60 && virtualKey <= 0x69)
        return "Num " + std::to_string(virtualKey - 0x60);
    if (virtualKey >= 0x70 && virtualKey <= 0x87)
        return "F" + std::to_string(virtualKey - 0x70 + 1);
    for (const auto& key : NamedKeys)
        if (key.VirtualKey == virtualKey)
            return std::string(key.Name);
    for (const auto& key : CharKeys)
        if (key.VirtualKey == virtualKey)
            return std::string(1, key.Plain);
    return {};
}

int VirtualKeyForChar(char32_t character) {
    if (character >= U'a' && character <= U'z')
        return static_cast<int>(character - U'a') + 'A';
    if (character >= U'A' && character <= U'Z')
        return static_cast<int>(character);
    if (character >= U'0' && character <= U'9')
        return static_cast<int>(character);
    if (character < 0x80) {
        const auto ascii = static_cast<char>(character);
        if (const auto digit = ShiftedDigits.find(ascii); digit != std::string_view::npos)
            return '0' + static_cast<int>(digit);
        for (const auto& key : CharKeys)
            if (key.Plain == ascii || key.Shifted == ascii)
                return key.VirtualKey;
    }
    switch (character) {
    case U' ':
        return 0x20;
    case U'\b':
        return 0x08;
    case U'\t':
        return 0x09;
    case U'\r':
        return 0x0D;
    case U'\x1B':
        return 0x1B;
    default:
        return -1;
    }
}
