#include "capture/key_dispatch.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TKeypadCase {
    THotKey VirtualKey;
    std::optional<TAppCommandId> Command;
};

class KeypadHookTable : public ::testing::TestWithParam<TKeypadCase> {};

TEST_P(KeypadHookTable, MapsKeypadDigitsWhenFocusTakesNoText) {
    const TKeypadCase& c = GetParam();
    EXPECT_EQ(KeypadHookCommand(c.VirtualKey, TFocusKind::Other), c.Command);
    EXPECT_EQ(KeypadHookCommand(c.VirtualKey, TFocusKind::None), c.Command);
    EXPECT_EQ(KeypadHookCommand(HotKeyCtrl | HotKeyShift | c.VirtualKey, TFocusKind::Other), c.Command);
    EXPECT_EQ(KeypadHookCommand(HotKeyAlt | c.VirtualKey, TFocusKind::Other), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeypadHookTable,
    ::testing::Values(TKeypadCase{96, std::nullopt}, TKeypadCase{97, TAppCommandId::ActionPrev},
                      TKeypadCase{98, TAppCommandId::ActionStop}, TKeypadCase{99, TAppCommandId::ActionNext},
                      TKeypadCase{100, TAppCommandId::ActionBegin},
                      TKeypadCase{101, TAppCommandId::ActionPlay}, TKeypadCase{102, TAppCommandId::ActionEnd},
                      TKeypadCase{103, TAppCommandId::ActionPrevEvent}, TKeypadCase{104, std::nullopt},
                      TKeypadCase{105, TAppCommandId::ActionNextEvent}, TKeypadCase{53, std::nullopt},
                      TKeypadCase{106, std::nullopt}, TKeypadCase{95, std::nullopt}));

TEST(KeypadHook, TextTakingFocusSuppressesTheHook) {
    for (const TFocusKind focus : {TFocusKind::LineEdit, TFocusKind::SpinEdit, TFocusKind::TextEdit,
                                   TFocusKind::HotKeyEdit, TFocusKind::ComboBox})
        EXPECT_EQ(KeypadHookCommand(101, focus), std::nullopt) << static_cast<int>(focus);
}

TEST(KeypadHook, ReferenceWindowIsMainWindowThenFirstListedDialog) {
    using W = TReferenceWindow;
    const std::vector<W> none;
    const std::vector<W> dialogs = {W::FormEventGroup, W::FormEvent, W::FormOffset};
    EXPECT_EQ(KeypadReferenceWindow(true, dialogs), W::MainWindow);
    EXPECT_EQ(KeypadReferenceWindow(false, dialogs), W::FormEvent);
    // A video window or any unlisted window: no reference window, so the
    // hook runs whatever that window's focus is.
    EXPECT_EQ(KeypadReferenceWindow(false, none), W::None);
    const std::vector<W> bogus = {W::None, W::MainWindow};
    EXPECT_EQ(KeypadReferenceWindow(false, bogus), W::None);
}

class CommandMatching : public ::testing::Test {
protected:
    static constexpr THotKey CtrlFive = HotKeyCtrl | '5';
    std::vector<TCommandCandidate> application = {{HotKeyCtrl | 'D', true}, {0, true}, {CtrlFive, true}};
    std::vector<TCommandCandidate> events = {{'A', true}, {CtrlFive, true}, {'A', true}};
};

TEST_F(CommandMatching, EnabledApplicationCommandWinsOverEventType) {
    const auto match = MatchCommand(CtrlFive, application, events);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->Source, TCommandMatch::TSource::Application);
    EXPECT_EQ(match->Index, 2u);
}

TEST_F(CommandMatching, DisabledApplicationCommandLetsTheEventTypeRecord) {
    application[2].IsEnabled = false;
    const auto match = MatchCommand(CtrlFive, application, events);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->Source, TCommandMatch::TSource::Event);
    EXPECT_EQ(match->Index, 1u);
}

TEST_F(CommandMatching, FirstEventCommandWinsAndModifiersMatter) {
    const auto match = MatchCommand('A', application, events);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->Index, 0u);
    EXPECT_FALSE(MatchCommand(HotKeyShift | 'A', application, events));
}

TEST_F(CommandMatching, KeyWithoutCodeRunsNoKeylessCommand) {
    EXPECT_FALSE(MatchCommand(0, application, events));
}

TEST(KeyRoute, MenusAndTextFieldsTakeTheirKeysBeforeTheCommands) {
    using enum TFocusKind;
    constexpr THotKey F2 = 113;
    constexpr THotKey Letter = 'L';
    const struct {
        THotKey Pressed;
        TKeyContext Context;
        TKeyRoute Route;
    } cases[] = {
        {Letter, {true, Other, true}, TKeyRoute::FocusedControl},
        {F2, {true, None, false}, TKeyRoute::FocusedControl},
        {Letter, {false, Other, true}, TKeyRoute::Commands},
        {Letter, {false, ComboBox, true}, TKeyRoute::Commands},
        {Letter, {false, LineEdit, true}, TKeyRoute::FocusedControl},
        {HotKeyShift | Letter, {false, TextEdit, true}, TKeyRoute::FocusedControl},
        {101, {false, SpinEdit, true}, TKeyRoute::FocusedControl},
        {HotKeyCtrl | Letter, {false, LineEdit, true}, TKeyRoute::Commands},
        {HotKeyAlt | Letter, {false, LineEdit, true}, TKeyRoute::Commands},
        {F2, {false, LineEdit, false}, TKeyRoute::Commands},
        {F2, {false, HotKeyEdit, false}, TKeyRoute::FocusedControl},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RouteKey(c.Pressed, c.Context), c.Route)
            << c.Pressed << " focus " << static_cast<int>(c.Context.Focus) << " menu "
            << c.Context.IsMenuOpen;
}

} // namespace
