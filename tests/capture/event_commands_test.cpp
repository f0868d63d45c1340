#include "capture/event_commands.h"

#include "../model/qstring_printer.h"

#include <gtest/gtest.h>

namespace {

TEventType MakeType(const char* name, int32_t group, int32_t groupIndex, THotKey key = 0) {
    TEventType type{QString::fromLatin1(name)};
    type.Group = group;
    type.GroupIndex = groupIndex;
    type.Key = key;
    return type;
}

TSecondaryKey MakeSecondary(THotKey key) {
    TSecondaryKey secondary;
    secondary.Key = key;
    return secondary;
}

std::vector<int32_t> ButtonTypes(const TEventCommandTable& table) {
    std::vector<int32_t> types;
    for (const TEventCommand& command : table.Commands) {
        if (command.ButtonIndex >= 0)
            types.push_back(EventTagType(command.Tag));
    }
    return types;
}

class EventCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        groups.EnsureGroup(QStringLiteral("Zero"));
        groups.EnsureGroup(QStringLiteral("One"));
    }
    TEventTypes types;
    TEventTypeGroups groups;
};

TEST_F(EventCommandsTest, ButtonsOrderedByGroupThenColourThenIndex) {
    types.AddEventType(MakeType("A", 1, 5));
    types.AddEventType(MakeType("B", -1, 2));
    types.AddEventType(MakeType("C", 1, 0));
    types.AddEventType(MakeType("D", 0, 9));
    types.AddEventType(MakeType("E", 1, 0));
    const auto table = RebuildEventCommands(types, groups);
    EXPECT_EQ(ButtonTypes(table), (std::vector<int32_t>{1, 3, 2, 4, 0}));
    ASSERT_EQ(table.ButtonCount, 5);
    for (std::size_t i = 0; i < table.Commands.size(); ++i)
        EXPECT_EQ(table.Commands[i].ButtonIndex, static_cast<int32_t>(i));
}

TEST_F(EventCommandsTest, DisabledGroupLosesButtonsAndKeys) {
    types.AddEventType(MakeType("Free", -1, 0, 'F'));
    types.AddEventType(MakeType("Enabled", 0, 0, 'E'));
    TEventType disabled = MakeType("Disabled", 1, 0, 'D');
    disabled.SecondaryKeys.push_back(MakeSecondary('X'));
    types.AddEventType(disabled);
    TEventTypeGroups withDisabled = groups;
    withDisabled[1].Enabled = false;

    const auto table = RebuildEventCommands(types, withDisabled);
    EXPECT_EQ(ButtonTypes(table), (std::vector<int32_t>{0, 1}));
    for (const TEventCommand& command : table.Commands)
        EXPECT_NE(EventTagType(command.Tag), 2) << command.Caption.toStdString();

    EXPECT_EQ(RebuildEventCommands(types, groups).Commands.size(), 4u);
}

TEST_F(EventCommandsTest, StaleGroupIndexCountsAsNoGroup) {
    types.AddEventType(MakeType("Grouped", 0, 0));
    types.AddEventType(MakeType("Stale", 7, 3));
    EXPECT_EQ(ButtonTypes(RebuildEventCommands(types, groups)), (std::vector<int32_t>{1, 0}));
}

TEST_F(EventCommandsTest, SecondaryKeysFollowTheirMainKeyWithoutButtons) {
    types.AddEventType(MakeType("Other", 1, 0, 'O'));
    TEventType speaking = MakeType("Speaking", 0, 0, 'S');
    speaking.SecondaryKeys = {MakeSecondary(HotKeyCtrl | 'A'), MakeSecondary(0)};
    types.AddEventType(speaking);

    const auto table = RebuildEventCommands(types, groups);
    ASSERT_EQ(table.Commands.size(), 4u);
    EXPECT_EQ(table.ButtonCount, 2);
    const TEventCommand& main = table.Commands[0];
    EXPECT_EQ(main.Caption, QStringLiteral("Speaking S"));
    EXPECT_EQ(main.Name, QStringLiteral("EventAction1"));
    EXPECT_EQ(main.Tag, 1u);
    const TEventCommand& first = table.Commands[1];
    EXPECT_EQ(first.Caption, QStringLiteral("Speaking Ctrl+A"));
    EXPECT_EQ(first.Key, HotKeyCtrl | 'A');
    EXPECT_EQ(first.Tag, 0x00010001u);
    EXPECT_EQ(first.ButtonIndex, -1);
    const TEventCommand& keyless = table.Commands[2];
    EXPECT_EQ(keyless.Caption, QStringLiteral("Speaking "));
    EXPECT_EQ(EventTagKeyNumber(keyless.Tag), 2);
    EXPECT_EQ(table.Commands[3].Name, QStringLiteral("EventAction4"));
    EXPECT_EQ(table.Commands[3].ButtonIndex, 1);
}

TEST(EventButtonsGeometry, ButtonsEvery33PixelsInAWindowSizedToThem) {
    EXPECT_EQ(EventButtonGeometry(0), QRect(8, 8, 120, 25));
    EXPECT_EQ(EventButtonGeometry(3), QRect(8, 107, 120, 25));
    EXPECT_EQ(EventButtonName(3), QStringLiteral("Button3"));
    EXPECT_EQ(EventButtonsWindowSize(0), QSize(160, 33));
    EXPECT_EQ(EventButtonsWindowSize(4), QSize(160, 165));
    EXPECT_EQ(RebuildEventCommands(TEventTypes(), TEventTypeGroups()).ButtonCount, 0);
}

} // namespace
