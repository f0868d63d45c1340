// Keys on the main window: the keypad hook, command and event keys through
// the application-wide filter (keys are sent to the top-level window, the way
// the platform delivers them), the event buttons, and the Hot keys dialog
// with the settings file. One 25 fps BMP sequence is open so that the
// transport commands are enabled; a fake timer keeps playback still.

#include "document/ui/form_main.h"

#include "capture/ui/form_event_buttons.h"
#include "capture/ui/form_hot_keys.h"
#include "capture/ui/hot_key_edit.h"
#include "platform/fake_mm_timer.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_video_list.h"
#include "tests/document_ui/fake_main_dialogs.h"
#include "tests/model/qstring_printer.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/menu_driver.h"
#include "tests/support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

using Id = TAppCommandId;

constexpr THotKey F2 = 113;
constexpr THotKey F3 = 114;
constexpr THotKey F4 = 115;
constexpr THotKey F5 = 116;

class FormMainKeys : public ::testing::Test {
protected:
    void SetUp() override {
        TFormMainOptions options;
        options.SettingsFileName = m_dir.File("Scenemark.ini");
        options.Dialogs = std::make_unique<TFakeMainDialogs>(m_answers);
        options.Timer = std::make_unique<TFakeMMTimer>();
        m_form = std::make_unique<TFormMain>(std::move(options));
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
        ASSERT_TRUE(m_form->AddMedium(WriteSequence(50)));
        Activate(m_form.get());
    }
    void TearDown() override {
        m_form.reset();
        EXPECT_TRUE(m_answers.Messages.isEmpty()) << m_answers.Messages.join("; ").toStdString();
    }

    QString WriteSequence(int32_t frames) {
        return QString::fromStdString(WriteBMPSequence(m_dir.File("cam"), frames));
    }

    static void Activate(QWidget* window) {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        window->activateWindow();
        // qWaitForWindowActive would also accept the owner of an active
        // tool window.
        ASSERT_TRUE(QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }));
    }
    // A key as the platform delivers it: to the top-level window, which
    // forwards it to its focus widget.
    static void Press(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window->windowHandle(), key, modifiers);
    }
    void PressKeypad(Qt::Key digit) { Press(m_form.get(), digit, Qt::KeypadModifier); }

    int32_t AddType(const QString& name, THotKey key, int32_t group = -1, int32_t groupIndex = -1) {
        TEventType type(name);
        type.Key = key;
        type.Group = group;
        type.GroupIndex = groupIndex;
        return AddType(type);
    }
    int32_t AddType(const TEventType& type) {
        const int32_t index = m_form->Project().AddEventType(type);
        m_form->RefreshTypeList();
        return index;
    }
    void SetInserting(bool on) { m_form->Action(Id::ActionEventsInserting)->setChecked(on); }
    std::size_t EventCount() const { return m_form->Project().Events().Count(); }
    const TEvent& Event(std::size_t index) const { return *m_form->Project().Events()[index]; }
    QStringList ButtonTexts() const {
        QStringList texts;
        for (const QPushButton* button : m_form->FormEventButtons->Buttons())
            texts << button->text();
        return texts;
    }

    TTempDir m_dir;
    TDialogAnswers m_answers;
    std::unique_ptr<TFormMain> m_form;
};

TEST_F(FormMainKeys, KeypadFiveStartsPlaybackUnlessTheFocusTakesText) {
    m_form->ButtonEventsModify->setFocus();
    ASSERT_EQ(m_form->focusWidget(), m_form->ButtonEventsModify);
    PressKeypad(Qt::Key_5);
    EXPECT_TRUE(m_form->Clock().IsPlaying());
    m_form->Action(Id::ActionStop)->trigger();
    ASSERT_FALSE(m_form->Clock().IsPlaying());

    m_form->EditEventText->setFocus();
    PressKeypad(Qt::Key_5);
    EXPECT_FALSE(m_form->Clock().IsPlaying());
    EXPECT_EQ(m_form->EditEventText->text(), "5");

    // No reference window: the focus of the main window no longer counts.
    QWidget& video = m_form->VideoList().Window(0);
    Activate(&video);
    Press(&video, Qt::Key_5, Qt::KeypadModifier);
    EXPECT_TRUE(m_form->Clock().IsPlaying());
    EXPECT_EQ(m_form->EditEventText->text(), "5");
}

TEST_F(FormMainKeys, EachKeypadPressRunsItsCommandOnceAndEightAndZeroRunNothing) {
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (Id id : {Id::ActionPrev, Id::ActionStop, Id::ActionNext, Id::ActionBegin, Id::ActionPlay,
                  Id::ActionEnd, Id::ActionPrevEvent, Id::ActionNextEvent})
        spies.push_back(std::make_unique<QSignalSpy>(m_form->Action(id), &QAction::triggered));
    auto triggerCount = [&spies] {
        int count = 0;
        for (const auto& spy : spies)
            count += static_cast<int>(spy->count());
        return count;
    };

    PressKeypad(Qt::Key_8);
    PressKeypad(Qt::Key_0);
    EXPECT_EQ(triggerCount(), 0);

    PressKeypad(Qt::Key_6);
    EXPECT_EQ(spies[5]->count(), 1);
    EXPECT_EQ(triggerCount(), 1);
    EXPECT_EQ(m_form->TrackBar->value(), m_form->TrackBar->maximum());

    // Without media the Playback menu is disabled: nothing runs.
    m_form->Action(Id::ActionClose)->trigger();
    PressKeypad(Qt::Key_7);
    PressKeypad(Qt::Key_9);
    EXPECT_EQ(triggerCount(), 1);
}

TEST_F(FormMainKeys, EventKeysAndButtonsRecordOnlyWhileInserting) {
    AddType(QStringLiteral("Smile"), F2);
    const int32_t typed = AddType(QStringLiteral("Letter"), 'A');
    QPushButton* smileButton = m_form->FormEventButtons->Buttons().at(0);
    m_form->Clock().GoToTime(200, true);

    Press(m_form.get(), Qt::Key_F2);
    smileButton->click();
    EXPECT_EQ(EventCount(), 0u);

    SetInserting(true);
    Press(m_form.get(), Qt::Key_F2);
    smileButton->click();
    ASSERT_EQ(EventCount(), 2u);
    EXPECT_EQ(Event(0).Time, 200);
    EXPECT_EQ(Event(1).EventType, 0);

    m_form->ButtonEventsModify->setFocus();
    Press(m_form.get(), Qt::Key_A);
    ASSERT_EQ(EventCount(), 3u);
    EXPECT_EQ(Event(2).EventType, typed);
}

// A text field types the letters bound to event types; function keys still
// record there.
TEST_F(FormMainKeys, ATextFieldTypesBoundLettersAndFunctionKeysStillRecord) {
    AddType(QStringLiteral("Smile"), F2);
    AddType(QStringLiteral("Letter"), 'A');
    AddType(QStringLiteral("Shifted"), HotKeyShift | 'B');
    SetInserting(true);
    m_form->EditEventText->setFocus();
    Press(m_form.get(), Qt::Key_A);
    Press(m_form.get(), Qt::Key_B, Qt::ShiftModifier);
    EXPECT_EQ(m_form->EditEventText->text(), "ab"); // QTest types lower case
    EXPECT_EQ(EventCount(), 0u);
    Press(m_form.get(), Qt::Key_F2);
    EXPECT_EQ(EventCount(), 1u);
    EXPECT_EQ(m_form->EditEventText->text(), "ab"); // QTest types lower case
}

// With a menu open, its keys are the menu's: nothing records or plays.
TEST_F(FormMainKeys, AnOpenMenuTakesEveryKey) {
    AddType(QStringLiteral("Look"), 'L');
    SetInserting(true);
    ASSERT_TRUE(OpenFromMenuBar(m_form->menuBar(), m_form->MenuTitles));
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    Press(menu, Qt::Key_L);
    Press(menu, Qt::Key_5, Qt::KeypadModifier);
    EXPECT_EQ(EventCount(), 0u);
    EXPECT_FALSE(m_form->Clock().IsPlaying());
    Press(menu, Qt::Key_Escape);
    EXPECT_FALSE(m_form->MenuTitles->isVisible());
    CloseMenus();
    Activate(m_form.get());
    Press(m_form.get(), Qt::Key_L);
    EXPECT_EQ(EventCount(), 1u);
}

TEST_F(FormMainKeys, KeysBoundLikeMnemonicsRecordInsteadOfOpeningTheMenu) {
    const int32_t type = AddType(QStringLiteral("File cue"), HotKeyAlt | 'F');
    SetInserting(true);
    m_form->ButtonEventsModify->setFocus();
    Press(m_form.get(), Qt::Key_F, Qt::AltModifier);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    ASSERT_EQ(EventCount(), 1u);
    EXPECT_EQ(Event(0).EventType, type);
}

TEST_F(FormMainKeys, ButtonsFollowGroupsAndDisabledGroupsLoseButtonAndKeys) {
    EXPECT_TRUE(m_form->FormEventButtons->Buttons().empty());
    EXPECT_EQ(m_form->FormEventButtons->height(), 33);

    TProject& project = m_form->Project();
    project.AddGroup(TEventTypeGroup{QStringLiteral("Off"), QStringLiteral("State"), false});
    project.AddGroup(TEventTypeGroup{QStringLiteral("On")});
    AddType(QStringLiteral("Five"), 0, 1, 5);
    AddType(QStringLiteral("Loose"), 0, -1, 2);
    AddType(QStringLiteral("Zero"), 0, 1, 0);
    AddType(QStringLiteral("Hidden"), F5, 0, 0);

    EXPECT_EQ(ButtonTexts(), QStringList({"Loose ", "Zero ", "Five "}));
    EXPECT_EQ(m_form->FormEventButtons->height(), 33 * 3 + 33);
    SetInserting(true);
    Press(m_form.get(), Qt::Key_F5);
    EXPECT_EQ(EventCount(), 0u);
}

TEST_F(FormMainKeys, SecondaryKeysRecordTheirParametersAndShiftNeverBelowZero) {
    TEventType type(QStringLiteral("Gaze"));
    type.Key = F2;
    type.Parameters = TParameters{{QStringLiteral("P"), QStringLiteral("main")}};
    type.SecondaryKeys = {TSecondaryKey{F3, 100, TParameters{{QStringLiteral("P"), QStringLiteral("one")}}},
                          TSecondaryKey{F4, -500, TParameters{{QStringLiteral("P"), QStringLiteral("two")}}}};
    AddType(type);
    EXPECT_EQ(m_form->EventCommands().Commands.size(), 3u);
    EXPECT_EQ(ButtonTexts(), QStringList({"Gaze F2"}));

    SetInserting(true);
    m_form->Clock().GoToTime(200, true);
    Press(m_form.get(), Qt::Key_F4);
    Press(m_form.get(), Qt::Key_F3);
    ASSERT_EQ(EventCount(), 2u);
    EXPECT_EQ(Event(0).Time, 0);
    EXPECT_EQ(Event(0).Parameters.ParametersToText(), "P=two");
    EXPECT_EQ(Event(1).Time, 300);
    EXPECT_EQ(Event(1).Parameters.ParametersToText(), "P=one");
}

TEST_F(FormMainKeys, AnEnabledApplicationCommandWinsOverAnEventTypeWithItsKey) {
    AddType(QStringLiteral("Clash"), HotKeyCtrl | '5');
    SetInserting(true);
    Press(m_form.get(), Qt::Key_5, Qt::ControlModifier);
    EXPECT_TRUE(m_form->Clock().IsPlaying());
    EXPECT_EQ(EventCount(), 0u);
}

class FormMainHotKeys : public FormMainKeys {
protected:
    // Answers the Hot keys dialog once it is up; `answer` runs inside its
    // event loop.
    void RunDialog(std::function<void(TFormHotKeys&)> answer) {
        QTimer::singleShot(0, [answer = std::move(answer)] {
            auto* dialog = qobject_cast<TFormHotKeys*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            answer(*dialog);
        });
        m_form->Action(Id::ActionOptionsHotKeys)->trigger();
    }
    static QTreeWidgetItem* CommandNode(TFormHotKeys& dialog, const QString& category,
                                        const QString& caption) {
        for (QTreeWidgetItem* node :
             dialog.TreeViewHotKeys->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive)) {
            if (node->parent() != nullptr && node->parent()->text(0) == category)
                return node;
        }
        return nullptr;
    }
    std::filesystem::path SettingsPath() const { return m_form->SettingsFileName(); }
};

TEST_F(FormMainHotKeys, CancelDiscardsTheEditedKeys) {
    RunDialog([](TFormHotKeys& dialog) {
        dialog.TreeViewHotKeys->setCurrentItem(CommandNode(dialog, "Playback", "Start playing"));
        QTest::keyClick(dialog.HotKeyEdit, Qt::Key_F7);
        dialog.ButtonCancel->click();
    });
    EXPECT_EQ(m_form->Commands().Key(Id::ActionPlay), HotKeyCtrl | '5');
    EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
}

// Backspace, Delete and Tab are keys like any other; the clear button
// removes the key.
TEST_F(FormMainHotKeys, EveryNamedKeyIsBoundAndTheClearButtonRemovesIt) {
    RunDialog([](TFormHotKeys& dialog) {
        dialog.TreeViewHotKeys->setCurrentItem(CommandNode(dialog, "Playback", "Start playing"));
        Activate(&dialog);
        dialog.HotKeyEdit->setFocus();
        const struct {
            Qt::Key Key;
            Qt::KeyboardModifiers Modifiers;
            const char* Text;
        } cases[] = {{Qt::Key_Backspace, Qt::NoModifier, "BkSp"},
                     {Qt::Key_Delete, Qt::NoModifier, "Del"},
                     {Qt::Key_Tab, Qt::NoModifier, "Tab"},
                     {Qt::Key_Backtab, Qt::ShiftModifier, "Shift+Tab"}};
        for (const auto& c : cases) {
            Press(&dialog, c.Key, c.Modifiers);
            EXPECT_EQ(dialog.HotKeyEdit->text(), c.Text);
            EXPECT_EQ(QApplication::focusWidget(), dialog.HotKeyEdit);
        }
        QToolButton* clear = nullptr;
        for (QToolButton* button : dialog.HotKeyEdit->findChildren<QToolButton*>())
            if (button->defaultAction() == dialog.HotKeyEdit->ClearAction())
                clear = button;
        ASSERT_NE(clear, nullptr);
        ASSERT_TRUE(clear->isVisible());
        QTest::mouseClick(clear, Qt::LeftButton);
        EXPECT_EQ(dialog.HotKeyEdit->text(), "");
        EXPECT_FALSE(clear->isVisible());
        dialog.ButtonOK->click();
    });
    EXPECT_EQ(m_form->Commands().Key(Id::ActionPlay), 0);
}

TEST_F(FormMainHotKeys, OkTakesTheKeysIntoTheMenusAndTheSettingsFile) {
    AddType(QStringLiteral("Smile"), F2);
    SetInserting(true);
    RunDialog([this](TFormHotKeys& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Hot keys");
        EXPECT_EQ(dialog.size(), QSize(336, 288));
        EXPECT_LE((dialog.geometry().center() - m_form->frameGeometry().center()).manhattanLength(), 2);
        QStringList categories;
        for (int i = 0; i < dialog.TreeViewHotKeys->topLevelItemCount(); ++i)
            categories << dialog.TreeViewHotKeys->topLevelItem(i)->text(0);
        EXPECT_EQ(categories,
                  QStringList({"Options", "Titles", "Events", "Playback", "File", "Windows", "Help"}));

        dialog.TreeViewHotKeys->setCurrentItem(dialog.TreeViewHotKeys->topLevelItem(0));
        EXPECT_FALSE(dialog.HotKeyEdit->isEnabled());
        dialog.TreeViewHotKeys->setCurrentItem(CommandNode(dialog, "File", "Open"));
        EXPECT_EQ(dialog.HotKeyEdit->text(), "Ctrl+O");
        dialog.TreeViewHotKeys->setCurrentItem(CommandNode(dialog, "Playback", "Start playing"));
        ASSERT_TRUE(dialog.HotKeyEdit->isEnabled());
        EXPECT_EQ(dialog.HotKeyEdit->text(), "Ctrl+5");

        // A keypad digit is bound, not run; and the event type's key goes
        // into the field too: no command runs while a modal dialog is open.
        Activate(&dialog);
        dialog.HotKeyEdit->setFocus();
        Press(&dialog, Qt::Key_5, Qt::KeypadModifier);
        EXPECT_EQ(dialog.HotKeyEdit->text(), "5");
        EXPECT_FALSE(m_form->Clock().IsPlaying());
        Press(&dialog, Qt::Key_F2);
        EXPECT_EQ(dialog.HotKeyEdit->text(), "F2");
        dialog.ButtonOK->click();
    });
    EXPECT_EQ(EventCount(), 0u);
    EXPECT_EQ(m_form->Commands().Key(Id::ActionPlay), F2);
    EXPECT_TRUE(m_form->Action(Id::ActionPlay)->text().endsWith("\tF2"));

    const TIniFile settings(SettingsPath().string());
    EXPECT_EQ(settings.ReadString("HotKeys", "ActionPlay", "?"), "F2");
    EXPECT_EQ(settings.ReadString("HotKeys", "ActionOpen", "?"), "Ctrl+O");
    EXPECT_EQ(settings.ReadString("HotKeys", "ActionSaveAs", "?"), "");
    TAppCommands readBack;
    ReadHotKeys(settings, readBack);
    EXPECT_EQ(readBack.Key(Id::ActionPlay), F2);

    // The old key is free; the command now wins over the event type's key.
    Press(m_form.get(), Qt::Key_5, Qt::ControlModifier);
    EXPECT_FALSE(m_form->Clock().IsPlaying());
    Press(m_form.get(), Qt::Key_F2);
    EXPECT_TRUE(m_form->Clock().IsPlaying());
    EXPECT_EQ(EventCount(), 0u);
}

// Told once at start-up, naming the command and its text.
TEST(FormMainStartUp, HotKeysThatNameNoKeyAreReportedOnce) {
    TTempDir dir;
    WriteText(dir.File("Scenemark.ini"),
              "[HotKeys]\r\nActionPlay=F5x\r\nActionStop=Ctrl+\r\nActionOpen=F4\r\n");
    TDialogAnswers answers;
    TFormMainOptions options;
    options.SettingsFileName = dir.File("Scenemark.ini");
    options.Dialogs = std::make_unique<TFakeMainDialogs>(answers);
    options.Timer = std::make_unique<TFakeMMTimer>();
    TFormMain form(std::move(options));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(20);
    ASSERT_EQ(answers.Messages.size(), 1) << answers.Messages.join("; ").toStdString();
    EXPECT_TRUE(answers.Messages[0].endsWith("\nActionStop=Ctrl+\nActionPlay=F5x") ||
                answers.Messages[0].endsWith("\nActionPlay=F5x\nActionStop=Ctrl+"))
        << answers.Messages[0].toStdString();
    EXPECT_EQ(form.Commands().Key(Id::ActionPlay), 0);
    EXPECT_EQ(form.Commands().Key(Id::ActionOpen), F4);
}

} // namespace
