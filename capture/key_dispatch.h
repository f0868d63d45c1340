#pragma once
// Key dispatch rules as plain functions, so the application-wide key filter
// only gathers facts from the widgets and acts on the answer:
//  1. the keypad hook runs a transport command for keypad digits and lets the
//     key go on;
//  2. while no modal dialog is open, the first enabled command whose key
//     equals the pressed combination runs and the key is consumed
//     (application commands in menu order, then event commands), unless
//     RouteKey leaves the key to an open menu or a focused text field;
//  3. otherwise the focused widget gets the key.
//
// Threads: the UI thread (no state; any thread in fact).

#include "document/app_commands.h"
#include "model/hot_keys.h"

#include <cstdint>
#include <optional>
#include <span>

// The windows the keypad hook takes the focused control from, most
// important first after the main window.
enum class TReferenceWindow {
    None,
    MainWindow,
    FormMessage,
    FormTitle,
    FormCamera,
    FormEvent,
    FormOffset,
    FormRegion,
    FormSecondaryKey,
    FormEventGroup,
};

// The main window when it is active; otherwise the first listed dialog of
// `activeDialogs` in the fixed order above; otherwise None (a video window,
// the timeline, the buttons window or any other window is active).
// MainWindow and None inside `activeDialogs` are ignored.
TReferenceWindow KeypadReferenceWindow(bool isMainWindowActive,
                                       std::span<const TReferenceWindow> activeDialogs);

// What kind of control has the focus in the reference window.
enum class TFocusKind {
    None, // no reference window, or nothing focused in it
    Other,
    LineEdit,
    SpinEdit,
    TextEdit,
    HotKeyEdit,
    ComboBox,
};

// The command the keypad hook runs for a key-down of `pressed` (keypad 1-7
// and 9, with or without Shift or Ctrl; keypad 8 and 0 and every other key:
// none), or none because the reference window's focus is in a control that
// takes typed text. Alt combinations are system keys, which the hook leaves
// alone.
std::optional<TAppCommandId> KeypadHookCommand(THotKey pressed, TFocusKind referenceFocus);

struct TCommandCandidate {
    THotKey Key = 0;
    bool IsEnabled = true;
};

struct TCommandMatch {
    enum class TSource { Application, Event };
    TSource Source;
    std::size_t Index; // into the candidates of that source
};

// The first enabled candidate whose key equals `pressed`, searching the
// application commands (in menu order) before the event commands. A pressed
// code of 0 (a key without a code) matches nothing, so commands without a
// key are never run by an unknown key.
std::optional<TCommandMatch> MatchCommand(THotKey pressed,
                                          std::span<const TCommandCandidate> applicationCommands,
                                          std::span<const TCommandCandidate> eventCommands);

// Where a key press goes before any command is matched.
enum class TKeyRoute {
    Commands,       // stage 2 may run a command with it
    FocusedControl, // the open menu or the focused field takes it
};

struct TKeyContext {
    // A menu or another popup is open: it takes every key.
    bool IsMenuOpen = false;
    // The focused control of the window that gets the key.
    TFocusKind Focus = TFocusKind::None;
    // The key types a printable character (space included).
    bool TypesCharacter = false;
};

// An open menu takes every key. A key capture field takes every key. A line,
// spin or text field takes the keys that type a character without Ctrl or
// Alt, so a letter bound to an event type can still be typed; function keys,
// Ctrl and Alt combinations and keys typing nothing stay with the commands.
TKeyRoute RouteKey(THotKey pressed, const TKeyContext& context);
