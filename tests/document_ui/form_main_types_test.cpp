// The event type and group windows on the main window: what their commands
// do to the project, and that the event buttons, the event list and the
// timeline follow at once.

#include "document/ui/form_main.h"

#include "capture/ui/form_event.h"
#include "capture/ui/form_event_buttons.h"
#include "capture/ui/form_event_group.h"
#include "capture/ui/form_event_list.h"
#include "capture/ui/form_event_type_groups.h"
#include "capture/ui/integer_spin_edit.h"
#include "tests/document_ui/fake_main_dialogs.h"
#include "tests/model/qstring_printer.h"
#include "tests/support/temp_dir.h"
#include "views/form_time_line.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <functional>

namespace {

using Id = TAppCommandId;

void Then(std::function<void()> step) {
    QTimer::singleShot(0, std::move(step));
}

class FormMainTypesTest : public ::testing::Test {
protected:
    void SetUp() override {
        TFormMainOptions options;
        options.SettingsFileName = dir.File("Scenemark.ini");
        options.Dialogs = std::make_unique<TFakeMainDialogs>(answers);
        options.ListDevices = [] { return TAVFileDeviceList{}; };
        form = std::make_unique<TFormMain>(std::move(options));
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        list = form->FormEventList;
        groups = form->FormEventTypeGroups;
    }
    void TearDown() override {
        EXPECT_TRUE(answers.Messages.isEmpty()) << answers.Messages.join(' ').toStdString();
        form.reset();
    }

    TProject& Project() { return form->Project(); }
    static QString Cell(const QTableWidget* grid, int row, int column) {
        const QTableWidgetItem* item = grid->item(row, column);
        return item != nullptr ? item->text() : QString();
    }
    QStringList TypeRow(int row) const {
        QStringList cells;
        for (int column = 0; column < list->StringGridEventTypes->columnCount(); ++column)
            cells << Cell(list->StringGridEventTypes, row, column);
        return cells;
    }
    QStringList ButtonCaptions() const {
        QStringList captions;
        for (const QPushButton* button : form->FormEventButtons->Buttons())
            captions << button->text();
        return captions;
    }
    // Runs the type editor from `button`, filling it with name and group
    // text; true when a type editor opened at all.
    bool EditType(QPushButton* button, const QString& name, const QString& group, int32_t groupIndex = -1) {
        bool isOpened = false;
        Then([&] {
            TFormEvent* editor = form->FormEvent;
            isOpened = editor->isVisible();
            editor->EditDescription->setText(name);
            editor->ComboBoxGroup->setEditText(group);
            editor->CSpinEditGroupIndex->setValue(groupIndex);
            editor->ButtonOK->click();
        });
        button->click();
        if (!isOpened) // the step is still pending; let it run harmlessly
            QApplication::processEvents();
        return isOpened;
    }
    int32_t AddType(const QString& name, int32_t group, int32_t groupIndex) {
        TEventType type(name);
        type.Group = group;
        type.GroupIndex = groupIndex;
        return Project().AddEventType(type);
    }
    const TEvent* AddEvent(int32_t type) { return Project().InsertEvent(std::make_unique<TEvent>(type, 0)); }
    bool IsOnTimeline(const TEvent* event) const { return form->FormTimeLine->Rows().Contains(event); }

    TTempDir dir;
    TDialogAnswers answers;
    std::unique_ptr<TFormMain> form;
    TFormEventList* list = nullptr;
    TFormEventTypeGroups* groups = nullptr;
};

TEST_F(FormMainTypesTest, WithoutTypesTheListShowsOneEmptyRowAndModifyOrDeleteDoNothing) {
    form->Action(Id::ActionEvents)->trigger();
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(list->StringGridEventTypes->rowCount(), 1);
    EXPECT_EQ(TypeRow(0).join(QString()), "");
    list->StringGridEventTypes->setCurrentCell(0, 0);
    EXPECT_FALSE(EditType(list->ButtonModify, QStringLiteral("X"), QString()));
    list->ButtonDelete->click();
    EXPECT_EQ(Project().EventTypes.Count(), 0);

    QTest::keyClick(list->StringGridEventTypes, Qt::Key_Escape);
    EXPECT_FALSE(list->isVisible());
    EXPECT_FALSE(form->Action(Id::ActionEvents)->isChecked());
}

TEST_F(FormMainTypesTest, NewTypesFindOrCreateTheirGroupByExactName) {
    ASSERT_TRUE(EditType(list->ButtonNew, QStringLiteral("Smile"), QStringLiteral("Face"), 10));
    ASSERT_EQ(Project().Groups.Count(), 1);
    EXPECT_EQ(Project().Groups[0].Name, "Face");
    EXPECT_EQ(Project().Groups[0].Meaning, "State");
    EXPECT_TRUE(Project().Groups[0].Enabled);
    EXPECT_EQ(Project().EventTypes[0].Group, 0);
    EXPECT_EQ(TypeRow(0), (QStringList{"Smile", "", "Face", "10", "0", ""}));
    EXPECT_EQ(groups->ListViewGroups->topLevelItemCount(), 1);
    EXPECT_EQ(ButtonCaptions(), QStringList{"Smile "});

    ASSERT_TRUE(EditType(list->ButtonNew, QStringLiteral("Frown"), QStringLiteral("face")));
    ASSERT_TRUE(EditType(list->ButtonNew, QStringLiteral("Wink"), QStringLiteral("Face")));
    ASSERT_EQ(Project().Groups.Count(), 2);
    EXPECT_EQ(Project().Groups[1].Name, "face");
    EXPECT_EQ(Project().EventTypes[1].Group, 1);
    EXPECT_EQ(Project().EventTypes[2].Group, 0);
    EXPECT_EQ(list->StringGridEventTypes->rowCount(), 3);
    EXPECT_EQ(groups->ListViewGroups->topLevelItemCount(), 2);
}

TEST_F(FormMainTypesTest, ModifyRenamesInPlaceAndTheEventListAndTimelineFollow) {
    const int32_t type = AddType(QStringLiteral("Smile"), -1, -1);
    const TEvent* event = AddEvent(type);
    form->RefreshTypeList();
    form->RefreshEventList(false, false);
    form->Action(Id::ActionTimeLine)->trigger();
    EXPECT_FALSE(IsOnTimeline(event)); // no group, no colour: not drawn

    // Without a pick the first row is current.
    ASSERT_TRUE(EditType(list->ButtonModify, QStringLiteral("Grin"), QStringLiteral("Face"), 4));
    EXPECT_EQ(Project().Events()[0]->EventType, 0);
    EXPECT_EQ(Cell(form->StringGridMessages, 0, 1), "Grin");
    EXPECT_TRUE(IsOnTimeline(event));
    EXPECT_EQ(ButtonCaptions(), QStringList{"Grin "});
}

TEST_F(FormMainTypesTest, DeletingATypeTakesItsEventsFromListAndTimelineAndRenumbersTheRest) {
    const int32_t face = Project().EnsureGroup(QStringLiteral("Face"));
    AddType(QStringLiteral("Smile"), face, 1);
    AddType(QStringLiteral("Frown"), face, 2);
    const TEvent* smile = AddEvent(0);
    const TEvent* frown = AddEvent(1);
    Project().SetFilteredTypes({1, 7});
    form->RefreshTypeList();
    EXPECT_EQ(Project().FilteredTypes, (std::set<int32_t>{1}));
    form->Action(Id::ActionTimeLine)->trigger();
    ASSERT_TRUE(IsOnTimeline(smile));

    list->StringGridEventTypes->setCurrentCell(0, 0);
    list->ButtonDelete->click();
    ASSERT_EQ(Project().Events().Count(), 1u);
    EXPECT_EQ(Project().Events()[0], frown);
    EXPECT_EQ(frown->EventType, 0);
    EXPECT_EQ(Project().FilteredTypes, (std::set<int32_t>{0}));
    EXPECT_EQ(form->FormTimeLine->Rows().Rows().size(), 1u);
    EXPECT_TRUE(IsOnTimeline(frown));
    EXPECT_EQ(TypeRow(0)[0], "Frown");
    EXPECT_EQ(list->StringGridEventTypes->rowCount(), 1);
    EXPECT_EQ(ButtonCaptions(), QStringList{"Frown "});
}

TEST_F(FormMainTypesTest, DeletingReachesNamelessTypesAndTheMouseTemplateFollows) {
    AddType(QString(), -1, -1); // as a document or an importer may leave one
    AddType(QStringLiteral("Smile"), -1, -1);
    AddType(QStringLiteral("Frown"), -1, -1);
    form->RefreshTypeList();
    form->MouseTemplate.EventType = 2;
    form->Action(Id::ActionEventMouse)->setChecked(true);

    list->StringGridEventTypes->setCurrentCell(0, 0);
    list->ButtonDelete->click();
    ASSERT_EQ(Project().EventTypes.Count(), 2);
    EXPECT_EQ(form->MouseTemplate.EventType, 1);
    EXPECT_TRUE(form->Action(Id::ActionEventMouse)->isChecked());

    list->StringGridEventTypes->setCurrentCell(1, 0);
    list->ButtonDelete->click();
    EXPECT_EQ(Project().EventTypes.Count(), 1);
    EXPECT_EQ(form->MouseTemplate.EventType, -1);
    EXPECT_FALSE(form->Action(Id::ActionEventMouse)->isChecked());
}

TEST_F(FormMainTypesTest, UntickingAGroupTakesItsTypesButtonsAndKeysAwayUntilTickedAgain) {
    const int32_t face = Project().EnsureGroup(QStringLiteral("Face"));
    AddType(QStringLiteral("Smile"), face, 1);
    AddType(QStringLiteral("Cough"), -1, -1);
    Project().EditEventType(0, [&](TEventType& edited) { edited.Key = 'S'; });
    form->RefreshTypeList();
    EXPECT_EQ(ButtonCaptions(), (QStringList{"Cough ", "Smile S"}));

    QTreeWidgetItem* row = groups->ListViewGroups->topLevelItem(0);
    ASSERT_EQ(row->checkState(0), Qt::Checked);
    row->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(Project().Groups[0].Enabled);
    EXPECT_EQ(ButtonCaptions(), QStringList{"Cough "});
    EXPECT_EQ(form->EventCommands().Commands.size(), 1u);

    groups->ListViewGroups->topLevelItem(0)->setCheckState(0, Qt::Checked);
    EXPECT_TRUE(Project().Groups[0].Enabled);
    EXPECT_EQ(ButtonCaptions(), (QStringList{"Cough ", "Smile S"}));
}

TEST_F(FormMainTypesTest, GroupCommandsRenameAndDeleteAndTheTypeListFollows) {
    AddType(QStringLiteral("Smile"), -1, 3);
    form->RefreshTypeList();
    auto editGroup = [&](QPushButton* button, const QString& name, const QString& meaning) {
        Then([&] {
            form->FormEventGroup->EditDescription->setText(name);
            form->FormEventGroup->ComboBoxMeaning->setEditText(meaning);
            form->FormEventGroup->ButtonOK->click();
        });
        button->click();
    };
    editGroup(groups->ButtonNew, QStringLiteral("Face"), QStringLiteral("Simple events"));
    ASSERT_EQ(Project().Groups.Count(), 1);
    EXPECT_EQ(Project().Groups[0].Meaning, "Simple events");
    EXPECT_EQ(groups->ListViewGroups->topLevelItem(0)->text(1), "Simple events");
    Project().EditEventType(0, [&](TEventType& edited) { edited.Group = 0; });
    form->RefreshTypeList();

    groups->ListViewGroups->setCurrentItem(groups->ListViewGroups->topLevelItem(0));
    editGroup(groups->ButtonModify, QStringLiteral("Mouth"), QStringLiteral("State"));
    EXPECT_EQ(groups->ListViewGroups->topLevelItem(0)->text(0), "Mouth");
    EXPECT_EQ(TypeRow(0)[2], "Mouth");

    groups->ButtonDelete->click();
    EXPECT_EQ(Project().Groups.Count(), 0);
    EXPECT_EQ(groups->ListViewGroups->topLevelItemCount(), 0);
    EXPECT_EQ(Project().EventTypes[0].Group, -1);
    EXPECT_EQ(TypeRow(0)[2], "");
}

} // namespace
