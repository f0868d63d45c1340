#include "capture/qt_key_map.h"

#include <gtest/gtest.h>

namespace {

struct TKeyCase {
    int QtKey;
    Qt::KeyboardModifiers Modifiers;
    THotKey Expected;
};

class QtKeyMap : public ::testing::TestWithParam<TKeyCase> {};

TEST_P(QtKeyMap, GivesTheHotKeyCode) {
    const TKeyCase& c = GetParam();
    EXPECT_EQ(HotKeyFromQtKey(c.QtKey, c.Modifiers), c.Expected) << std::hex << c.QtKey;
}

constexpr auto None = Qt::NoModifier;
constexpr auto Keypad = Qt::KeypadModifier;

INSTANTIATE_TEST_SUITE_P(
    Keys, QtKeyMap,
    ::testing::Values(
        TKeyCase{Qt::Key_5, Keypad, 101}, TKeyCase{Qt::Key_0, Keypad, 96}, TKeyCase{Qt::Key_9, Keypad, 105},
        TKeyCase{Qt::Key_5, None, 53}, TKeyCase{Qt::Key_5, Qt::ControlModifier | Keypad, HotKeyCtrl | 101},
        TKeyCase{Qt::Key_5, Qt::ControlModifier, HotKeyCtrl | 53}, TKeyCase{Qt::Key_A, None, 65},
        TKeyCase{Qt::Key_Z, Qt::ShiftModifier | Qt::AltModifier, HotKeyShift | HotKeyAlt | 90},
        TKeyCase{Qt::Key_F1, None, 112}, TKeyCase{Qt::Key_F24, None, 135}, TKeyCase{Qt::Key_Escape, None, 27},
        TKeyCase{Qt::Key_Return, None, 13}, TKeyCase{Qt::Key_Enter, Keypad, 13},
        TKeyCase{Qt::Key_Space, None, 32}, TKeyCase{Qt::Key_Home, Keypad, 36},
        TKeyCase{Qt::Key_Down, None, 40}, TKeyCase{Qt::Key_Delete, None, 46},
        TKeyCase{Qt::Key_Backtab, Qt::ShiftModifier, HotKeyShift | 9}, TKeyCase{Qt::Key_Plus, Keypad, 107},
        TKeyCase{Qt::Key_Minus, None, 189}, TKeyCase{Qt::Key_Comma, Qt::ControlModifier, HotKeyCtrl | 188},
        TKeyCase{Qt::Key_Exclam, Qt::ShiftModifier, HotKeyShift | 49}, TKeyCase{Qt::Key_Semicolon, None, 186},
        TKeyCase{Qt::Key_Shift, Qt::ShiftModifier, 0}, TKeyCase{Qt::Key_Control, Qt::ControlModifier, 0},
        TKeyCase{Qt::Key_unknown, None, 0}, TKeyCase{Qt::Key_Adiaeresis, None, 0}));

} // namespace
