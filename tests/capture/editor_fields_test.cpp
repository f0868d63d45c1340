#include "capture/editor_fields.h"

#include "../model/qstring_printer.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

namespace {

TEST(EditorFields, NonNumericTextReadsAsTheFieldsMinimum) {
    EXPECT_EQ(IntegerFieldValue(QStringLiteral("abc"), 0), 0);
    EXPECT_EQ(IntegerFieldValue(QStringLiteral("abc"), -1), -1);
    EXPECT_EQ(IntegerFieldValue(QString(), -1), -1);
    EXPECT_EQ(IntegerFieldValue(QStringLiteral(" 12 "), -1), 12);
    EXPECT_EQ(IntegerFieldValue(QStringLiteral("-250"), std::numeric_limits<int32_t>::min()), -250);
    EXPECT_EQ(IntegerFieldValue(QStringLiteral("-5"), -1), -1);
    EXPECT_EQ(IntegerFieldValue(QStringLiteral("99999999999"), -1), -1);
}

TEST(EditorFields, ShiftAloneIsNotAModifier) {
    EXPECT_EQ(HotKeyFieldValue(HotKeyShift | 'A'), THotKey{'A'});
    EXPECT_EQ(HotKeyFieldValue(HotKeyShift | HotKeyCtrl | 'A'), HotKeyShift | HotKeyCtrl | 'A');
    EXPECT_EQ(HotKeyFieldValue(HotKeyAlt | 'A'), HotKeyAlt | 'A');
    EXPECT_EQ(HotKeyFieldValue('A'), THotKey{'A'});
}

TEST(EditorFields, RefusalMessages) {
    EXPECT_EQ(EventTypeFieldsRefusal(TEventTypeFields{}), QStringLiteral("Enter event type description!"));
    TEventTypeFields named;
    named.Description = QStringLiteral("x");
    EXPECT_TRUE(EventTypeFieldsRefusal(named).isEmpty());
    EXPECT_EQ(SecondaryKeyRefusal(0), QStringLiteral("Enter hot key!"));
    EXPECT_TRUE(SecondaryKeyRefusal('K').isEmpty());
    EXPECT_EQ(GroupDescriptionRefusal(QString()), QStringLiteral("Enter group description"));
}

class TypeEditorFields : public ::testing::Test {
protected:
    void SetUp() override {
        project.EnsureGroup(QStringLiteral("Speaking"));
        TEventTypeGroup twin;
        twin.Name = QStringLiteral("Speaking");
        project.AddGroup(twin);
    }
    TProject project;
};

TEST_F(TypeEditorFields, TypedGroupNameCreatesAGroupLetterCaseMatters) {
    TEventTypeFields fields;
    fields.Description = QStringLiteral("Start");
    fields.GroupText = QStringLiteral("speaking");
    fields.ParameterLines = {QStringLiteral("Person=A"), QStringLiteral("junk")};
    TEventType type;
    ApplyEventTypeFields(project, fields, type);
    ASSERT_EQ(project.Groups.Count(), 3);
    EXPECT_EQ(type.Group, 2);
    EXPECT_EQ(project.Groups[2].Meaning, QStringLiteral("State"));
    EXPECT_TRUE(project.Groups[2].Enabled);
    EXPECT_EQ(type.Parameters.ParametersToText(), QStringLiteral("Person=A"));

    fields.GroupText.clear();
    ApplyEventTypeFields(project, fields, type);
    EXPECT_EQ(type.Group, -1);
}

TEST_F(TypeEditorFields, UnchangedFieldsKeepATypeInTheSecondOfTwoSameNamedGroups) {
    TEventType type{QStringLiteral("Start")};
    type.Group = 1;
    type.GroupIndex = 10;
    type.SecondaryKeys.push_back({'X', 5, TParameters()});
    const TEventTypeFields fields = FieldsOfEventType(type, project.Groups);
    TEventType rebuilt;
    ApplyEventTypeFields(project, fields, rebuilt);
    EXPECT_EQ(rebuilt.Group, 1);
    EXPECT_EQ(rebuilt.GroupIndex, 10);
    EXPECT_EQ(rebuilt.SecondaryKeys.size(), 1u);
    EXPECT_EQ(project.Groups.Count(), 2);
}

TEST(HotKeyTree, CategoriesInOrderOfFirstCommandHiddenLeftOut) {
    using Id = TAppCommandId;
    const std::array<TAppCommandInfo, 5> table = {{
        {Id::ActionDoubleBuffering, "ActionDoubleBuffering", "Options", "Double buffering", "Ctrl+D", false,
         false},
        {Id::ActionTitlesInserting, "ActionTitlesInserting", "Titles", "Inserting", "", false, true},
        {Id::ActionExportOutputVideo, "ActionExportOutputVideo", "File", "Export output &video", "", true,
         false},
        {Id::ActionDrawLast, "ActionDrawLast", "Options", "Draw last event", "", false, true},
        {Id::ActionOpen, "ActionOpen", "File", "&Open", "Ctrl+O", false, false},
    }};
    const auto tree = HotKeyTree(table);
    ASSERT_EQ(tree.size(), 3u);
    EXPECT_EQ(tree[0].Category, QStringLiteral("Options"));
    EXPECT_EQ(tree[0].Commands, (std::vector<Id>{Id::ActionDoubleBuffering, Id::ActionDrawLast}));
    EXPECT_EQ(tree[1].Category, QStringLiteral("Titles"));
    EXPECT_EQ(tree[2].Commands, (std::vector<Id>{Id::ActionOpen}));
}

} // namespace
