// The editing commands of the main window driven through their actions, the
// panels and their dialogs, on a generated 3-second BMP sequence (the
// commands need an open medium).

#include "document/ui/form_main.h"

#include "capture/ui/form_filter.h"
#include "capture/ui/form_message.h"
#include "capture/ui/form_title.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_offset.h"
#include "tests/document_ui/fake_main_dialogs.h"
#include "tests/model/qstring_printer.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/temp_dir.h"
#include "views/form_time_line.h"
#include "views/list_grids.h"
#include "views/timeline_layout.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

namespace {

using Id = TAppCommandId;

class FormMainEditing : public ::testing::Test {
protected:
    void SetUp() override {
        TFormMainOptions options;
        options.SettingsFileName = m_dir.File("Scenemark.ini");
        options.Dialogs = std::make_unique<TFakeMainDialogs>(m_questions);
        m_form = std::make_unique<TFormMain>(std::move(options));
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
        // 75 frames at 25 per second: positions 0 to 3000 ms.
        for (int32_t frame = 0; frame < 75; ++frame) {
            char name[32];
            std::snprintf(name, sizeof name, "clip%04d.bmp", frame);
            WriteBytes(m_dir.File(name),
                       MakeBMPBytes(8, 8, 32, [](int32_t, int32_t) { return 0xFF000000u; }));
        }
        ASSERT_TRUE(m_form->AddMedium(QString::fromStdString(m_dir.File("clip0000.bmp"))));
        for (const char* name : {"A", "B", "C"})
            m_form->Project().AddEventType(TEventType(QString::fromLatin1(name)));
        m_form->RefreshTypeList();
    }

    void Trigger(Id id) { m_form->Action(id)->trigger(); }

    const TEvent* Add(int32_t type, int32_t time, const QString& text = QString()) {
        return m_form->Project().InsertEvent(std::make_unique<TEvent>(type, time, text, TParameters()));
    }
    // Moves to `time`; the lists then show what lies at or before it.
    void GoTo(int32_t time) { m_form->Clock().GoToTime(time, true); }
    void SelectEvent(const TEvent* event) { SelectRow(*m_form->StringGridMessages, IndexOf(event)); }
    void SelectTitle(int32_t index) { SelectRow(*m_form->StringGridTitles, index); }
    std::ptrdiff_t IndexOf(const TEvent* event) const { return m_form->Project().Events().IndexOf(event); }

    std::vector<int32_t> EventTimes() const {
        std::vector<int32_t> times;
        for (const auto& event : m_form->Project().Events())
            times.push_back(event->Time);
        return times;
    }

    // Runs `answer` inside the next modal dialog's event loop; a command
    // that shows no dialog leaves it unanswered (see Flush).
    void WhenModal(std::function<void(QWidget*)> answer) {
        QTimer::singleShot(0, [this, answer = std::move(answer)] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ++m_modalsShown;
                answer(modal);
            }
        });
    }
    // Lets an unanswered WhenModal expire before the next command.
    void Flush() { QCoreApplication::processEvents(); }

    TTempDir m_dir;
    TDialogAnswers m_questions;
    std::unique_ptr<TFormMain> m_form;
    int m_modalsShown = 0;

private:
    static void SelectRow(QTableWidget& grid, std::ptrdiff_t index) {
        for (int row = 0; row < grid.rowCount(); ++row) {
            const QTableWidgetItem* item = grid.item(row, 0);
            if (item && item->data(RoleListIndex).toInt() == index) {
                grid.setCurrentCell(row, 0);
                return;
            }
        }
        FAIL() << "no row shows index " << index;
    }
};

TEST_F(FormMainEditing, DeleteAndClearAskFirstAndActOnlyOnYes) {
    const TEvent* first = Add(0, 100);
    Add(1, 200);
    GoTo(1000);
    m_form->StringGridMessages->setCurrentCell(-1, -1);
    Trigger(Id::ActionEventsDelete);
    EXPECT_EQ(m_questions.Questions, QStringList{QStringLiteral("Delete selected event?")});
    EXPECT_EQ(EventTimes(), (std::vector<int32_t>{100, 200}));

    SelectEvent(first);
    m_questions.IsYes = false;
    Trigger(Id::ActionEventsDelete);
    Trigger(Id::ActionEventsClear);
    EXPECT_EQ(EventTimes(), (std::vector<int32_t>{100, 200}));
    EXPECT_EQ(m_questions.Questions.last(), QStringLiteral("Clear all events?"));

    m_questions.IsYes = true;
    m_form->ButtonEventsDelete->click();
    EXPECT_EQ(EventTimes(), std::vector<int32_t>{200});
    m_form->ButtonEventsClear->click();
    EXPECT_TRUE(m_form->Project().Events().IsEmpty());
    EXPECT_EQ(m_form->SelectedEventIndex(), -1);
}

TEST_F(FormMainEditing, ModifyKeepsThePlaceOfAnUnmovedEventAndPutsAMovedOneAfterItsEquals) {
    const TEvent* early = Add(0, 500);
    const TEvent* equal = Add(0, 1000);
    const TEvent* bare = Add(1, 1000);
    GoTo(2000);

    // Only type, text and parameters change: the event stays before its
    // equal, and the bare event of its new type receives the parameters.
    SelectEvent(equal);
    WhenModal([](QWidget* modal) {
        auto* dialog = static_cast<TFormMessage*>(modal);
        EXPECT_EQ(dialog->CSpinEditTime->value(), 1000);
        EXPECT_EQ(dialog->ComboBoxEvent->count(), 3);
        EXPECT_EQ(dialog->ComboBoxEvent->currentIndex(), 0);
        dialog->ComboBoxEvent->setCurrentIndex(1);
        dialog->EditText->setText(QStringLiteral("edited"));
        dialog->MemoParameters->setPlainText(QStringLiteral("Person=A\nbroken line\nCamera=2"));
        dialog->CheckBoxAll->setChecked(true);
        dialog->ButtonOK->click();
    });
    m_form->ButtonEventsModify->click();
    EXPECT_EQ(IndexOf(equal), 1);
    EXPECT_EQ(equal->EventType, 1);
    EXPECT_EQ(equal->Text, QStringLiteral("edited"));
    EXPECT_EQ(equal->Parameters.ParametersToText(), QStringLiteral("Person=A Camera=2"));
    EXPECT_EQ(bare->Parameters.ParametersToText(), QStringLiteral("Person=A Camera=2"));
    EXPECT_TRUE(early->Parameters.IsEmpty());

    // A new time equal to others', typed and confirmed with Enter, goes
    // after them; the check box left on last time starts unchecked.
    SelectEvent(early);
    WhenModal([](QWidget* modal) {
        auto* dialog = static_cast<TFormMessage*>(modal);
        EXPECT_FALSE(dialog->CheckBoxAll->isChecked());
        dialog->CSpinEditTime->selectAll();
        QTest::keyClicks(dialog->CSpinEditTime, QStringLiteral("1000"));
        QTest::keyClick(dialog->CSpinEditTime, Qt::Key_Return);
    });
    Trigger(Id::ActionEventsModify);
    EXPECT_EQ(EventTimes(), (std::vector<int32_t>{1000, 1000, 1000}));
    EXPECT_EQ(IndexOf(early), 2);

    // Escape in the time field cancels everything typed.
    SelectEvent(equal);
    WhenModal([](QWidget* modal) {
        auto* dialog = static_cast<TFormMessage*>(modal);
        dialog->EditText->setText(QStringLiteral("lost"));
        QTest::keyClick(dialog->CSpinEditTime, Qt::Key_Escape);
    });
    Trigger(Id::ActionEventsModify);
    EXPECT_EQ(equal->Text, QStringLiteral("edited"));
    EXPECT_EQ(m_modalsShown, 3);
}

// The shown time line follows every change at once: its rows always equal
// rows built afresh from the project.
TEST_F(FormMainEditing, TheShownTimeLineFollowsModifyInsertTextAndDelete) {
    TProject& project = m_form->Project();
    project.AddGroup(TEventTypeGroup{QStringLiteral("People")});
    for (int32_t type = 0; type < 2; ++type) {
        project.EditEventType(type, [&](TEventType& edited) { edited.Group = 0; });
        project.EditEventType(type, [&](TEventType& edited) { edited.GroupIndex = type; });
    }
    project.NotifyTypesChanged();
    m_form->RefreshTypeList();
    const TEvent* event = Add(0, 1000);
    Add(1, 1500);
    m_form->SetToolWindowVisible(TToolWindow::TimeLine, true);
    GoTo(2000);
    const auto expectCurrent = [&] {
        TTimelineRows fresh(project);
        fresh.Rebuild();
        EXPECT_EQ(m_form->FormTimeLine->Rows().Rows(), fresh.Rows());
    };
    expectCurrent();

    SelectEvent(event);
    WhenModal([](QWidget* modal) {
        auto* dialog = static_cast<TFormMessage*>(modal);
        dialog->MemoParameters->setPlainText(QStringLiteral("Person=A"));
        dialog->ButtonOK->click();
    });
    m_form->ButtonEventsModify->click();
    ASSERT_EQ(event->Parameters.ParametersToText(), QStringLiteral("Person=A"));
    expectCurrent();

    m_form->Action(Id::ActionEventsInserting)->setChecked(true);
    SelectEvent(event);
    m_form->EditEventText->setText(QStringLiteral("said"));
    Trigger(Id::ActionEventsInsertText);
    ASSERT_EQ(event->Text, QStringLiteral("said"));
    expectCurrent();

    SelectEvent(event);
    m_form->ButtonEventsDelete->click();
    ASSERT_EQ(project.Events().Count(), 1u);
    expectCurrent();
}

TEST_F(FormMainEditing, ModifyOfAnEventRemovedWhileTheDialogIsOpenChangesNothing) {
    const TEvent* edited = Add(0, 1000);
    const TEvent* other = Add(1, 1000, QStringLiteral("kept"));
    GoTo(2000);
    SelectEvent(edited);
    WhenModal([this, edited](QWidget* modal) {
        auto* dialog = static_cast<TFormMessage*>(modal);
        m_form->Project().DeleteEvent(edited);
        dialog->EditText->setText(QStringLiteral("edited"));
        dialog->CSpinEditTime->setValue(0);
        dialog->ButtonOK->click();
    });
    Trigger(Id::ActionEventsModify);
    ASSERT_EQ(m_form->Project().Events().Count(), 1u);
    EXPECT_EQ(m_form->Project().Events()[0], other);
    EXPECT_EQ(other->Text, QStringLiteral("kept"));
    EXPECT_EQ(other->Time, 1000);
}

TEST_F(FormMainEditing, OffsetShiftsEventsAndTitlesClampingAtZero) {
    Add(0, 500);
    Add(1, 2000);
    m_form->Project().InsertTitle(std::make_unique<TTitle>(QStringLiteral("t"), 300));
    const auto answer = [](const QString& number) {
        return [number](QWidget* modal) {
            auto* dialog = static_cast<TFormOffset*>(modal);
            EXPECT_EQ(dialog->EditOffset->text(), QStringLiteral("0"));
            dialog->EditOffset->setText(number);
            dialog->ButtonOK->click();
        };
    };
    WhenModal(answer(QStringLiteral("-1000")));
    Trigger(Id::ActionEventsOffset);
    EXPECT_EQ(EventTimes(), (std::vector<int32_t>{0, 1000}));

    WhenModal(answer(QStringLiteral("-1000")));
    Trigger(Id::ActionTitlesOffset);
    EXPECT_EQ(m_form->Project().Titles[0]->Time, 0);
    EXPECT_EQ(m_modalsShown, 2);
}

TEST_F(FormMainEditing, PreviousAndNextEventGoToTheNearestEventStrictlyBeforeOrAfter) {
    Add(0, 1000);
    Add(1, 2000);
    struct TStep {
        Id Command;
        int32_t From;
        int32_t To;
    };
    const TStep steps[] = {
        {Id::ActionPrevEvent, 1500, 1000}, {Id::ActionPrevEvent, 2000, 1000},
        {Id::ActionPrevEvent, 2500, 2000}, {Id::ActionPrevEvent, 1000, 1000},
        {Id::ActionNextEvent, 1000, 2000}, {Id::ActionNextEvent, 2000, 2000},
        {Id::ActionNextEvent, 0, 1000},
    };
    for (const TStep& step : steps) {
        GoTo(step.From);
        ASSERT_EQ(m_form->Clock().CurrentTime(), step.From);
        Trigger(step.Command);
        EXPECT_EQ(m_form->Clock().CurrentTime(), step.To)
            << (step.Command == Id::ActionPrevEvent ? "previous" : "next") << " from " << step.From;
    }
    // The list follows the jump: the event gone to is the selected row.
    GoTo(2500);
    Trigger(Id::ActionPrevEvent);
    EXPECT_EQ(m_form->SelectedEventIndex(), 1);
}

TEST_F(FormMainEditing, InsertTextReplacesTheSelectedEventsTextOnlyWhileInserting) {
    const TEvent* event = Add(0, 100, QStringLiteral("old"));
    GoTo(500);
    SelectEvent(event);
    m_form->EditEventText->setText(QStringLiteral("new"));
    Trigger(Id::ActionEventsInsertText);
    EXPECT_EQ(event->Text, QStringLiteral("old"));

    m_form->CheckBoxEventsInserting->click();
    ASSERT_TRUE(m_form->Action(Id::ActionEventsInserting)->isChecked());
    SelectEvent(event);
    QTest::keyClick(m_form->EditEventText, Qt::Key_Return);
    EXPECT_EQ(event->Text, QStringLiteral("new"));
    EXPECT_EQ(m_form->EditEventText->selectedText(), QStringLiteral("new"));
    EXPECT_EQ(m_form->StringGridMessages->item(0, 2)->text(), QStringLiteral("new"));
}

TEST_F(FormMainEditing, TitlesAreInsertedAtTheCurrentTimeAndModifiedInTheDialog) {
    m_form->SetTitlesPanelVisible(true);
    GoTo(1200);
    m_form->EditTitleText->setText(QStringLiteral("ignored"));
    m_form->ButtonTitlesInsert->click();
    EXPECT_EQ(m_form->Project().Titles.Count(), 0u);

    m_form->CheckBoxTitlesInserting->click();
    m_form->EditTitleText->setText(QStringLiteral("Hello"));
    QTest::keyClick(m_form->EditTitleText, Qt::Key_Return);
    ASSERT_EQ(m_form->Project().Titles.Count(), 1u);
    const TTitle* title = m_form->Project().Titles[0];
    EXPECT_EQ(title->Time, 1200);
    EXPECT_EQ(title->Text, QStringLiteral("Hello"));
    EXPECT_EQ(m_form->EditTitleText->selectedText(), QStringLiteral("Hello"));

    m_form->Project().InsertTitle(std::make_unique<TTitle>(QStringLiteral("earlier"), 1000));
    m_form->RefreshTitleList(false, false);
    SelectTitle(1);
    WhenModal([](QWidget* modal) {
        auto* dialog = static_cast<TFormTitle*>(modal);
        EXPECT_EQ(dialog->CSpinEditTime->value(), 1200);
        EXPECT_EQ(dialog->MemoText->toPlainText(), QStringLiteral("Hello"));
        // Enter in the text box is a new line, not OK.
        dialog->MemoText->moveCursor(QTextCursor::End);
        QTest::keyClick(dialog->MemoText, Qt::Key_Return);
        QTest::keyClicks(dialog->MemoText, QStringLiteral("world"));
        dialog->CSpinEditTime->setValue(900);
        dialog->ButtonOK->click();
    });
    m_form->ButtonTitlesModify->click();
    EXPECT_EQ(m_form->Project().Titles[0], title);
    EXPECT_EQ(title->Time, 900);
    EXPECT_EQ(title->Text, QStringLiteral("Hello\nworld"));

    SelectTitle(1);
    Trigger(Id::ActionTitlesDelete);
    EXPECT_EQ(m_questions.Questions.last(), QStringLiteral("Delete selected title?"));
    ASSERT_EQ(m_form->Project().Titles.Count(), 1u);
    EXPECT_EQ(m_form->Project().Titles[0], title);
    Trigger(Id::ActionTitlesClear);
    EXPECT_EQ(m_questions.Questions.last(), QStringLiteral("Clear all titles?"));
    EXPECT_EQ(m_form->Project().Titles.Count(), 0u);
    EXPECT_EQ(m_form->TitleCursor(), -1);
}

TEST_F(FormMainEditing, FilterHidesTheUnselectedTypesOnOkOnly) {
    m_form->Project().SetFilteredTypes({1});
    Add(0, 100);
    Add(1, 200);
    Add(2, 300);
    GoTo(1000);
    WhenModal([](QWidget* modal) {
        auto* dialog = static_cast<TFormFilter*>(modal);
        QStringList selected;
        for (const QListWidgetItem* item : dialog->ListBoxTypes->selectedItems())
            selected << item->text();
        EXPECT_EQ(selected, (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
        dialog->ListBoxTypes->item(0)->setSelected(false);
        dialog->ListBoxTypes->item(1)->setSelected(true);
        dialog->ListBoxTypes->item(2)->setSelected(false);
        dialog->ButtonCancel->click();
    });
    m_form->ButtonEventsFilter->click();
    EXPECT_EQ(m_form->Project().FilteredTypes, std::set<int32_t>{1});

    WhenModal([](QWidget* modal) {
        auto* dialog = static_cast<TFormFilter*>(modal);
        dialog->ListBoxTypes->item(2)->setSelected(false);
        dialog->ListBoxTypes->item(0)->setSelected(false);
        dialog->ListBoxTypes->item(1)->setSelected(true);
        dialog->ButtonOK->click();
    });
    Trigger(Id::ActionEventsFilter);
    EXPECT_EQ(m_form->Project().FilteredTypes, (std::set<int32_t>{0, 2}));
    // The list shows only the B event now.
    EXPECT_EQ(m_form->StringGridMessages->rowCount(), 1);
    EXPECT_EQ(m_form->StringGridMessages->item(0, 1)->text(), QStringLiteral("B"));
}

TEST_F(FormMainEditing, MouseModeWithoutEventTypesIsRefusedWithAMessage) {
    m_form->Project().DeleteEventType(2);
    m_form->Project().DeleteEventType(1);
    m_form->Project().DeleteEventType(0);
    m_form->RefreshTypeList();
    WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    Trigger(Id::ActionEventMouse);
    Flush();
    EXPECT_EQ(m_modalsShown, 0);
    EXPECT_FALSE(m_form->Action(Id::ActionEventMouse)->isChecked());
    ASSERT_EQ(m_questions.Messages.size(), 1);
    EXPECT_EQ(m_questions.Messages[0],
              QStringLiteral("Mouse mode needs an event type: define one in \"Event types\" first!"));
}

TEST_F(FormMainEditing, MouseModeTemplateRoundTrip) {
    QAction* mouseMode = m_form->Action(Id::ActionEventMouse);
    const auto fillTemplate = [](QPushButton* TFormMessage::*button) {
        return [button](QWidget* modal) {
            auto* dialog = static_cast<TFormMessage*>(modal);
            EXPECT_EQ(dialog->CSpinEditTime->value(), 0);
            EXPECT_FALSE(dialog->CSpinEditTime->isEnabled());
            EXPECT_FALSE(dialog->CheckBoxAll->isEnabled());
            EXPECT_EQ(dialog->ComboBoxEvent->currentIndex(), 0);
            EXPECT_EQ(dialog->MemoParameters->toPlainText(), QStringLiteral("Width=64\nHeight=64"));
            dialog->ComboBoxEvent->setCurrentIndex(1);
            dialog->EditText->setText(QStringLiteral("face"));
            dialog->MemoParameters->setPlainText(QStringLiteral("Width=32\nHeight=16\nPerson=A"));
            (dialog->*button)->click();
        };
    };
    WhenModal(fillTemplate(&TFormMessage::ButtonCancel));
    Trigger(Id::ActionEventMouse);
    EXPECT_FALSE(mouseMode->isChecked());
    EXPECT_EQ(m_form->MouseTemplate.EventType, -1);
    EXPECT_TRUE(m_form->FormMessage->CSpinEditTime->isEnabled());

    WhenModal(fillTemplate(&TFormMessage::ButtonOK));
    Trigger(Id::ActionEventMouse);
    EXPECT_TRUE(mouseMode->isChecked());
    EXPECT_EQ(m_form->MouseTemplate.EventType, 1);
    EXPECT_EQ(m_form->MouseTemplate.Text, QStringLiteral("face"));
    EXPECT_EQ(m_form->MouseTemplate.Parameters.ParametersToText(),
              QStringLiteral("Width=32 Height=16 Person=A"));
    EXPECT_TRUE(m_form->FormMessage->CSpinEditTime->isEnabled());
    EXPECT_TRUE(m_form->FormMessage->CheckBoxAll->isEnabled());

    // Switching off asks nothing and keeps the template for next time.
    WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    Trigger(Id::ActionEventMouse);
    Flush();
    EXPECT_FALSE(mouseMode->isChecked());
    EXPECT_EQ(m_modalsShown, 2);
    EXPECT_EQ(m_form->MouseTemplate.EventType, 1);
}

TEST_F(FormMainEditing, DeletingATypeRenumbersTheTemplateAndEndsMouseModeForItsOwnType) {
    QAction* mouseMode = m_form->Action(Id::ActionEventMouse);
    m_form->MouseTemplate.EventType = 2;
    mouseMode->setChecked(true);
    m_form->Project().DeleteEventType(0);
    m_form->MouseTemplateTypeDeleted(0);
    EXPECT_EQ(m_form->MouseTemplate.EventType, 1);
    EXPECT_TRUE(mouseMode->isChecked());

    m_form->Project().DeleteEventType(1);
    m_form->MouseTemplateTypeDeleted(1);
    EXPECT_EQ(m_form->MouseTemplate.EventType, -1);
    EXPECT_FALSE(mouseMode->isChecked());
}

} // namespace
