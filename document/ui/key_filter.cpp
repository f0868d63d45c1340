#include "document/ui/key_filter.h"

#include "capture/key_dispatch.h"
#include "capture/qt_key_map.h"
#include "capture/ui/form_event.h"
#include "capture/ui/form_event_group.h"
#include "capture/ui/form_message.h"
#include "capture/ui/form_secondary_key.h"
#include "capture/ui/form_title.h"
#include "capture/ui/hot_key_edit.h"
#include "document/ui/form_main.h"
#include "interchange/ui/form_region.h"
#include "playback/ui/form_camera.h"
#include "playback/ui/form_offset.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <array>
#include <utility>
#include <vector>

namespace {

struct TMenuCommand {
    QAction* Action;
    bool IsEnabled; // the action and every menu above it
};

void CollectMenuCommands(const QList<QAction*>& items, bool isPathEnabled,
                         const QHash<const QAction*, TAppCommandId>& commands,
                         std::vector<TMenuCommand>& out) {
    for (QAction* item : items) {
        if (QMenu* submenu = item->menu()) {
            CollectMenuCommands(submenu->actions(), isPathEnabled && item->isEnabled(), commands, out);
        } else if (commands.contains(item)) {
            out.push_back({item, isPathEnabled && item->isEnabled()});
        }
    }
}

} // namespace

TKeyFilter::TKeyFilter(TFormMain& form) : m_form(form) {
    for (const TAppCommandInfo& info : AppCommandTable())
        m_commandOfAction.insert(form.Action(info.Id), info.Id);
    qApp->installEventFilter(this);
}

TKeyFilter::~TKeyFilter() {
    qApp->removeEventFilter(this);
}

TFocusKind TKeyFilter::FocusKindOf(const QWidget* widget) {
    if (widget == nullptr)
        return TFocusKind::None;
    // The key capture field is a line edit too; it must be told apart first.
    if (qobject_cast<const THotKeyEdit*>(widget) != nullptr)
        return TFocusKind::HotKeyEdit;
    if (qobject_cast<const QLineEdit*>(widget) != nullptr)
        return TFocusKind::LineEdit;
    if (qobject_cast<const QAbstractSpinBox*>(widget) != nullptr)
        return TFocusKind::SpinEdit;
    if (qobject_cast<const QTextEdit*>(widget) != nullptr ||
        qobject_cast<const QPlainTextEdit*>(widget) != nullptr)
        return TFocusKind::TextEdit;
    if (qobject_cast<const QComboBox*>(widget) != nullptr)
        return TFocusKind::ComboBox;
    return TFocusKind::Other;
}

TKeyRoute TKeyFilter::Route(const QKeyEvent& key, THotKey pressed) {
    TKeyContext context;
    context.IsMenuOpen = QApplication::activePopupWidget() != nullptr;
    context.Focus = FocusKindOf(QApplication::focusWidget());
    const QString text = key.text();
    context.TypesCharacter = !text.isEmpty() && text.front().isPrint();
    return RouteKey(pressed, context);
}

bool TKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::ShortcutOverride) {
        // Qt's own shortcuts (menu and button mnemonics) would otherwise take
        // a combination that a command of ours is bound to before the key
        // press reaches this filter.
        const auto* key = static_cast<const QKeyEvent*>(event);
        const THotKey pressed = HotKeyFromQtKey(key->key(), key->modifiers());
        if (Route(*key, pressed) == TKeyRoute::FocusedControl || MatchingCommand(pressed) == nullptr)
            return false;
        event->accept();
        return true;
    }
    if (type != QEvent::KeyPress || !watched->isWindowType())
        return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    const THotKey pressed = HotKeyFromQtKey(key->key(), key->modifiers());
    if (pressed == 0)
        return false;
    // An open menu takes the key whole: not even the keypad hook runs.
    if (QApplication::activePopupWidget() != nullptr)
        return false;
    RunKeypadHook(pressed);
    if (Route(*key, pressed) == TKeyRoute::FocusedControl)
        return false;
    QAction* command = MatchingCommand(pressed);
    if (command == nullptr)
        return false;
    command->trigger();
    return true;
}

void TKeyFilter::RunKeypadHook(THotKey pressed) {
    const std::optional<TAppCommandId> command = KeypadHookCommand(pressed, ReferenceFocus());
    if (command && IsAvailable(*command))
        m_form.Action(*command)->trigger();
}

TFocusKind TKeyFilter::ReferenceFocus() const {
    const std::array<std::pair<QWidget*, TReferenceWindow>, 8> dialogs{{
        {m_form.FormMessage, TReferenceWindow::FormMessage},
        {m_form.FormTitle, TReferenceWindow::FormTitle},
        {m_form.FormCamera, TReferenceWindow::FormCamera},
        {m_form.FormEvent, TReferenceWindow::FormEvent},
        {m_form.FormOffset, TReferenceWindow::FormOffset},
        {m_form.FormRegion, TReferenceWindow::FormRegion},
        {m_form.FormSecondaryKey, TReferenceWindow::FormSecondaryKey},
        {m_form.FormEventGroup, TReferenceWindow::FormEventGroup},
    }};
    // QWidget::isActiveWindow also holds for the owner of an active tool
    // window (a video window, the timeline): only the active window itself
    // counts here.
    const QWidget* activeWindow = QApplication::activeWindow();
    std::vector<TReferenceWindow> active;
    for (const auto& [dialog, kind] : dialogs) {
        if (dialog != nullptr && dialog == activeWindow)
            active.push_back(kind);
    }
    const TReferenceWindow reference = KeypadReferenceWindow(activeWindow == &m_form, active);
    if (reference == TReferenceWindow::None) {
        // Any other active window still keeps keypad digits for a text field
        // that has the focus: typing a number into the filter dialog or
        // binding a keypad key in the Hot keys dialog must not move the
        // playback position.
        const TFocusKind kind = FocusKindOf(QApplication::focusWidget());
        return kind == TFocusKind::Other ? TFocusKind::None : kind;
    }
    if (reference == TReferenceWindow::MainWindow)
        return FocusKindOf(m_form.focusWidget());
    for (const auto& [dialog, kind] : dialogs) {
        if (kind == reference)
            return FocusKindOf(dialog->focusWidget());
    }
    return TFocusKind::None;
}

bool TKeyFilter::IsCommandDispatchOpen() const {
    return QApplication::activeModalWidget() == nullptr && m_form.isEnabled();
}

bool TKeyFilter::IsAvailable(TAppCommandId id) const {
    QAction* action = m_form.Action(id);
    std::vector<TMenuCommand> commands;
    CollectMenuCommands(m_form.menuBar()->actions(), true, m_commandOfAction, commands);
    for (const TMenuCommand& command : commands) {
        if (command.Action == action)
            return command.IsEnabled;
    }
    return action->isEnabled();
}

QAction* TKeyFilter::MatchingCommand(THotKey pressed) const {
    if (pressed == 0 || !IsCommandDispatchOpen())
        return nullptr;
    std::vector<TMenuCommand> menuCommands;
    CollectMenuCommands(m_form.menuBar()->actions(), true, m_commandOfAction, menuCommands);
    std::vector<TCommandCandidate> applicationCandidates;
    applicationCandidates.reserve(menuCommands.size());
    for (const TMenuCommand& command : menuCommands) {
        applicationCandidates.push_back(
            {m_form.Commands().Key(m_commandOfAction.value(command.Action)), command.IsEnabled});
    }
    const std::vector<TEventCommand>& eventCommands = m_form.EventCommands().Commands;
    std::vector<TCommandCandidate> eventCandidates;
    eventCandidates.reserve(eventCommands.size());
    for (std::size_t i = 0; i < eventCommands.size(); ++i)
        eventCandidates.push_back({eventCommands[i].Key, m_form.EventAction(i)->isEnabled()});

    const std::optional<TCommandMatch> match = MatchCommand(pressed, applicationCandidates, eventCandidates);
    if (!match)
        return nullptr;
    if (match->Source == TCommandMatch::TSource::Application)
        return menuCommands[match->Index].Action;
    return m_form.EventAction(match->Index);
}
