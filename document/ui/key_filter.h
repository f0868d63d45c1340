#pragma once
// The main window's application-wide key filter. Every key press of the
// application passes it before the focused widget sees the key:
//  1. the keypad hook: keypad digits run their transport command unless the
//     reference window's focus is in a text-entry control (without a
//     reference window: unless the focus widget of the active window is
//     one); the key goes on;
//  2. while no modal dialog and no menu is open and the main window is
//     enabled, the first enabled command whose key equals the pressed
//     combination runs (application commands in menu order, then the event
//     commands) and the key is consumed; a character typed into a focused
//     text field and any key for a key capture field is not dispatched;
//  3. otherwise the focused widget gets the key.
// The rules themselves are capture/key_dispatch.h; this class gathers the
// facts from the widgets and acts on the answer.
//
// A real key press reaches an application filter twice: first for the
// top-level QWindow, then for the focus widget the window forwards it to.
// Only the window delivery is acted on (a key sent straight to a widget,
// bypassing the window, is not dispatched), so each press runs a command at
// most once and consuming it there keeps it from the widget.
//
// Installed on qApp by the constructor, removed by the destructor; the main
// window owns it and must outlive it. Threads: the UI thread.

#include "model/hot_keys.h"

#include <QHash>
#include <QObject>

#include <optional>

class QAction;
class QKeyEvent;
class QMenu;
class QWidget;
class TFormMain;
enum class TFocusKind;
enum class TKeyRoute;
enum class TAppCommandId : int32_t;

class TKeyFilter final : public QObject {
public:
    explicit TKeyFilter(TFormMain& form);
    ~TKeyFilter() override;

    TKeyFilter(const TKeyFilter&) = delete;
    TKeyFilter& operator=(const TKeyFilter&) = delete;

    // What kind of text entry, if any, a focused widget is; null gives None.
    static TFocusKind FocusKindOf(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static TKeyRoute Route(const QKeyEvent& key, THotKey pressed);
    void RunKeypadHook(THotKey pressed);
    // The command the combination runs in stage 2, or null; never one that
    // is disabled or sits in a disabled menu.
    QAction* MatchingCommand(THotKey pressed) const;
    bool IsCommandDispatchOpen() const;
    // An application command can be chosen from its menu: the action and
    // every menu above it are enabled.
    bool IsAvailable(TAppCommandId id) const;
    TFocusKind ReferenceFocus() const;

    TFormMain& m_form;
    QHash<const QAction*, TAppCommandId> m_commandOfAction;
};
