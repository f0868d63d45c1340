#include "model/event_type_groups.h"
#include "model/event_types.h"
#include "model/group_colors.h"

#include "tests/model/qstring_printer.h"

#include <gtest/gtest.h>

#include <array>

#include <stdexcept>

namespace {

TEST(EventTypes, FindIgnoresLetterCaseUnlikeGroups) {
    TEventTypes types;
    types.AddEventType(TEventType("Speaker"));
    types.AddEventType(TEventType(QString::fromUtf8("Überblick")));
    EXPECT_EQ(types.FindEventType("SPEAKER"), 0);
    EXPECT_EQ(types.FindEventType(QString::fromUtf8("üBERBLICK")), 1);
    EXPECT_EQ(types.FindEventType("Speak"), -1);

    TEventTypeGroups groups;
    groups.EnsureGroup("Speaking");
    EXPECT_EQ(groups.FindGroup("Speaking"), 0);
    EXPECT_EQ(groups.FindGroup("speaking"), -1);
    EXPECT_EQ(groups.EnsureGroup("speaking"), 1);
}

TEST(EventTypes, EnsureAppendsOnce) {
    TEventTypes types;
    types.AddEventType(TEventType("Walk"));
    EXPECT_EQ(types.EnsureEventType("Run"), 1);
    EXPECT_EQ(types.EnsureEventType("RUN"), 1);
    ASSERT_EQ(types.Count(), 2);
    EXPECT_EQ(types[1].Name, "Run");
    EXPECT_EQ(types[1].Group, -1);
}

TEST(EventTypeGroups, EnsureCreatesEnabledStateGroupsAndNamesAreBoundsChecked) {
    TEventTypeGroups groups;
    EXPECT_EQ(groups.EnsureGroup("Gaze"), 0);
    EXPECT_EQ(groups.EnsureGroup("Gaze"), 0);
    ASSERT_EQ(groups.Count(), 1);
    EXPECT_EQ(groups[0].Meaning, "State");
    EXPECT_TRUE(groups[0].Enabled);
    EXPECT_EQ(groups.GroupName(0), "Gaze");
    EXPECT_EQ(groups.GroupName(-1), "");
    EXPECT_EQ(groups.GroupName(1), "");
}

class BuiltInTypes : public ::testing::Test {
protected:
    TEventTypes types;
    TEventTypeGroups groups;
};

TEST_F(BuiltInTypes, StartSpeakingCreatesItsGroupOnce) {
    const int32_t index = types.EnsureBuiltInType(BuiltInStartSpeaking, groups);
    ASSERT_EQ(index, 0);
    ASSERT_EQ(groups.Count(), 1);
    EXPECT_EQ(groups[0].Name, "Speaking");
    EXPECT_EQ(groups[0].Meaning, "State");
    EXPECT_TRUE(groups[0].Enabled);
    const TEventType& type = types[index];
    EXPECT_EQ(type.Name, "Start speaking");
    EXPECT_EQ(type.Key, 0x71); // F2
    EXPECT_EQ(type.Group, 0);
    EXPECT_EQ(type.GroupIndex, 0);

    EXPECT_EQ(types.EnsureBuiltInType(BuiltInStartSpeaking, groups), index);
    EXPECT_EQ(types.Count(), 1);
    EXPECT_EQ(groups.Count(), 1);
}

TEST_F(BuiltInTypes, StopSpeakingSharesTheGroupAndOutputHasNone) {
    types.EnsureBuiltInType(BuiltInStartSpeaking, groups);
    const int32_t stop = types.EnsureBuiltInType(BuiltInStopSpeaking, groups);
    EXPECT_EQ(types[stop].Key, 0x72); // F3
    EXPECT_EQ(types[stop].Group, 0);
    EXPECT_EQ(types[stop].GroupIndex, 1);
    const int32_t output = types.EnsureBuiltInType(BuiltInOutput, groups);
    EXPECT_EQ(types[output].Key, 0);
    EXPECT_EQ(types[output].Group, -1);
    EXPECT_EQ(types[output].GroupIndex, -1);
    EXPECT_EQ(groups.Count(), 1);
}

TEST_F(BuiltInTypes, ExistingTypeOfAnyCaseIsReused) {
    types.AddEventType(TEventType("GRAPH"));
    EXPECT_EQ(types.FindBuiltInType(BuiltInGraph), 0);
    EXPECT_EQ(types.EnsureBuiltInType(BuiltInGraph, groups), 0);
    EXPECT_EQ(types.Count(), 1);
}

TEST_F(BuiltInTypes, UnknownRowsAreRejected) {
    EXPECT_EQ(types.FindBuiltInType(4), -1);
    EXPECT_EQ(types.FindBuiltInType(-1), -1);
    EXPECT_THROW(types.EnsureBuiltInType(4, groups), std::out_of_range);
    EXPECT_EQ(types.Count(), 0);
}

TEST(GroupColors, PaletteIsStoredBlueGreenRed) {
    EXPECT_EQ(GroupIndexToColor(10), 0x00FFFFu); // yellow
    EXPECT_EQ(GroupIndexToColor(4), 0x0000FFu);  // red
    EXPECT_EQ(GroupIndexToColor(26), 0xFF0000u); // blue
    EXPECT_EQ(GroupIndexToColor(34), 0xC08000u); // 0080C0
}

// Transcribed as RRGGBB, the way the colour table is published; stored
// values are 0xBBGGRR.
constexpr std::array<TColor, GroupColorPaletteSize> PublishedPalette = {
    0x000000, 0x400000, 0x800000, 0x804040, 0xFF0000, 0xFF8080, 0x808000, 0x804000, //
    0xFF8000, 0xFF8040, 0xFFFF00, 0xFFFF80, 0x808040, 0x004000, 0x008000, 0x00FF00, //
    0x80FF00, 0x80FF80, 0x808080, 0x004040, 0x008040, 0x008080, 0x00FF40, 0x00FF80, //
    0x408080, 0x000080, 0x0000FF, 0x004080, 0x00FFFF, 0x80FFFF, 0xC0C0C0, 0x000040, //
    0x0000A0, 0x8080FF, 0x0080C0, 0x0080FF, 0x400040, 0x400040, 0x800080, 0x800040, //
    0x8080C0, 0xFF80C0, 0xFFFFFF, 0x400080, 0x8000FF, 0xFF0080, 0xFF00FF, 0xFF80FF};

TEST(GroupColors, EveryPaletteEntryMatchesThePublishedTable) {
    for (int32_t index = 0; index < GroupColorPaletteSize; ++index) {
        const TColor rgb = PublishedPalette[static_cast<std::size_t>(index)];
        const TColor stored = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16);
        EXPECT_EQ(GroupIndexToColor(index), stored) << "entry " << index;
    }
}

TEST(GroupColors, ColoursOutsideThePaletteAreOffsetBy48) {
    const TColor color = 0x12 | (0x34 << 8) | (0x56 << 16);
    EXPECT_EQ(ColorToGroupIndex(color), 5649474);
    EXPECT_EQ(GroupIndexToColor(5649474), color);
    EXPECT_EQ(ColorToGroupIndex(color | 0xFF000000u), 5649474);
}

TEST(GroupColors, PaletteColoursMapBackToTheFirstIndex) {
    EXPECT_EQ(ColorToGroupIndex(GroupIndexToColor(37)), 36);
    for (int32_t index = 0; index < GroupColorPaletteSize; ++index) {
        if (index != 37) {
            EXPECT_EQ(ColorToGroupIndex(GroupIndexToColor(index)), index) << index;
        }
    }
}

TEST(GroupColors, OutOfRangeCodesStayInsideTheColourRange) {
    EXPECT_EQ(GroupIndexToColor(-1), 0u);
    EXPECT_EQ(GroupIndexToColor(INT32_MIN), 0u);
    EXPECT_LE(GroupIndexToColor(INT32_MAX), 0xFFFFFFu);
}

} // namespace
