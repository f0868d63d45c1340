#include "capture/key_dispatch.h"

#include <algorithm>
#include <array>

namespace {

constexpr int32_t KeypadZero = 96;

constexpr std::array<std::optional<TAppCommandId>, 10> KeypadCommandKeys = {
    std::nullopt,
    TAppCommandId::ActionPrev,
    TAppCommandId::ActionStop,
    TAppCommandId::ActionNext,
    TAppCommandId::ActionBegin,
    TAppCommandId::ActionPlay,
    TAppCommandId::ActionEnd,
    TAppCommandId::ActionPrevEvent,
    std::nullopt,
    TAppCommandId::ActionNextEvent,
};

std::optional<std::size_t> FirstMatch(THotKey pressed, std::span<const TCommandCandidate> candidates) {
    const auto found =
        std::find_if(candidates.begin(), candidates.end(),
                     [pressed](const TCommandCandidate& c) { return c.IsEnabled && c.Key == pressed; });
    if (found == candidates.end())
        return std::nullopt;
    return static_cast<std::size_t>(found - candidates.begin());
}

} // namespace

TReferenceWindow KeypadReferenceWindow(bool isMainWindowActive,
                                       std::span<const TReferenceWindow> activeDialogs) {
    if (isMainWindowActive)
        return TReferenceWindow::MainWindow;
    TReferenceWindow best = TReferenceWindow::None;
    for (const TReferenceWindow dialog : activeDialogs) {
        if (dialog == TReferenceWindow::None || dialog == TReferenceWindow::MainWindow)
            continue;
        if (best == TReferenceWindow::None || dialog < best)
            best = dialog;
    }
    return best;
}

std::optional<TAppCommandId> KeypadHookCommand(THotKey pressed, TFocusKind referenceFocus) {
    switch (referenceFocus) {
    case TFocusKind::LineEdit:
    case TFocusKind::SpinEdit:
    case TFocusKind::TextEdit:
    case TFocusKind::HotKeyEdit:
    case TFocusKind::ComboBox:
        return std::nullopt;
    case TFocusKind::None:
    case TFocusKind::Other:
        break;
    }
    if (pressed & HotKeyAlt)
        return std::nullopt;
    const int32_t digit = static_cast<int32_t>(pressed & 0xFF) - KeypadZero;
    if (digit < 0 || digit >= static_cast<int32_t>(KeypadCommandKeys.size()))
        return std::nullopt;
    return KeypadCommandKeys[static_cast<std::size_t>(digit)];
}

std::optional<TCommandMatch> MatchCommand(THotKey pressed,
                                          std::span<const TCommandCandidate> applicationCommands,
                                          std::span<const TCommandCandidate> eventCommands) {
    if (pressed == 0)
        return std::nullopt;
    if (const auto index = FirstMatch(pressed, applicationCommands))
        return TCommandMatch{TCommandMatch::TSource::Application, *index};
    if (const auto index = FirstMatch(pressed, eventCommands))
        return TCommandMatch{TCommandMatch::TSource::Event, *index};
    return std::nullopt;
}

TKeyRoute RouteKey(THotKey pressed, const TKeyContext& context) {
    if (context.IsMenuOpen)
        return TKeyRoute::FocusedControl;
    switch (context.Focus) {
    case TFocusKind::HotKeyEdit:
        return TKeyRoute::FocusedControl;
    case TFocusKind::LineEdit:
    case TFocusKind::SpinEdit:
    case TFocusKind::TextEdit:
        if (context.TypesCharacter && (pressed & (HotKeyCtrl | HotKeyAlt)) == 0)
            return TKeyRoute::FocusedControl;
        break;
    case TFocusKind::None:
    case TFocusKind::Other:
    case TFocusKind::ComboBox:
        break;
    }
    return TKeyRoute::Commands;
}
