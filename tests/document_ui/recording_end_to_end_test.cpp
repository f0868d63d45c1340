// A whole annotation session through the editor's own windows: groups and
// types made in their editors, two generated cameras played on a fake timer,
// events recorded by their hot keys at known times, the project saved,
// closed and opened again.

#include "document/ui/form_main.h"
#include "document/ui/main_document.h"

#include "capture/ui/form_event.h"
#include "capture/ui/form_event_group.h"
#include "capture/ui/form_event_list.h"
#include "capture/ui/form_event_type_groups.h"
#include "capture/ui/hot_key_edit.h"
#include "capture/ui/integer_spin_edit.h"
#include "platform/fake_mm_timer.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_video_list.h"
#include "tests/document_ui/fake_main_dialogs.h"
#include "tests/model/qstring_printer.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

using Id = TAppCommandId;

struct TRecorded {
    QString Type;
    int32_t Time;
    QString Text;
    QString Parameters; // the text form: names, values and their order
    bool operator==(const TRecorded&) const = default;
};

void PrintTo(const TRecorded& event, std::ostream* out) {
    *out << event.Type.toStdString() << "@" << event.Time << " \"" << event.Text.toStdString() << "\" "
         << event.Parameters.toStdString();
}

class RecordingEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        auto timer = std::make_unique<TFakeMMTimer>();
        m_timer = timer.get();
        TFormMainOptions options;
        options.SettingsFileName = m_dir.File("Scenemark.ini");
        options.Dialogs = std::make_unique<TFakeMainDialogs>(m_answers);
        options.ListDevices = [] { return TAVFileDeviceList{}; };
        options.Timer = std::move(timer);
        m_form = std::make_unique<TFormMain>(std::move(options));
        m_document = std::make_unique<TMainDocument>(*m_form);
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
    }
    void TearDown() override {
        m_document.reset();
        m_form.reset();
    }

    QString WriteSequence(const std::string& name, int32_t frames) {
        return QString::fromStdString(WriteBMPSequence(m_dir.File(name), frames));
    }
    // Runs `fill` inside the next modal dialog, which `open` brings up.
    static void InDialog(QPushButton* open, std::function<void()> fill) {
        QTimer::singleShot(0, std::move(fill));
        open->click();
    }
    void NewGroup(const QString& name, const QString& meaning) {
        InDialog(m_form->FormEventTypeGroups->ButtonNew, [&] {
            TFormEventGroup* editor = m_form->FormEventGroup;
            ASSERT_TRUE(editor->isVisible());
            editor->EditDescription->setText(name);
            editor->ComboBoxMeaning->setEditText(meaning);
            editor->ButtonOK->click();
        });
    }
    void NewType(const QString& name, Qt::Key key, const QString& group, int32_t offset,
                 const QString& parameters, bool checkEndPoints) {
        InDialog(m_form->FormEventList->ButtonNew, [&] {
            TFormEvent* editor = m_form->FormEvent;
            ASSERT_TRUE(editor->isVisible());
            QTest::keyClicks(editor->EditDescription, name);
            QTest::keyClick(editor->HotKeyEvent, key);
            editor->ComboBoxGroup->setEditText(group);
            editor->CSpinEditOffset->setValue(offset);
            editor->MemoParameters->setPlainText(parameters);
            editor->CheckBoxCheckEndPoints->setChecked(checkEndPoints);
            editor->ButtonOK->click();
        });
    }
    // Plays until the current time reaches `time` (milliseconds, 25 fps).
    void PlayTo(int32_t time) {
        while (m_form->Clock().CurrentTime() < time) {
            ASSERT_TRUE(m_timer->FireNext());
            QCoreApplication::processEvents();
        }
        ASSERT_EQ(m_form->Clock().CurrentTime(), time);
    }
    // A key press as the window system delivers it to the active window.
    void Press(Qt::Key key) {
        QTest::keyClick(m_form->windowHandle(), key);
        QCoreApplication::processEvents();
    }
    std::vector<TRecorded> Events() {
        std::vector<TRecorded> events;
        const TProject& project = m_form->Project();
        for (std::size_t i = 0; i < project.Events().Count(); ++i) {
            const TEvent& event = *project.Events()[i];
            events.push_back({project.EventTypes[event.EventType].Name, event.Time, event.Text,
                              event.Parameters.ParametersToText()});
        }
        return events;
    }

    TTempDir m_dir;
    TDialogAnswers m_answers;
    TFakeMMTimer* m_timer = nullptr;
    std::unique_ptr<TFormMain> m_form;
    std::unique_ptr<TMainDocument> m_document;
};

} // namespace

TEST_F(RecordingEndToEnd, EventsRecordedByKeysWhilePlayingSurviveSaveAndOpen) {
    NewGroup(QStringLiteral("Speech"), QStringLiteral("State"));
    NewGroup(QStringLiteral("Gesture"), QStringLiteral("Simple events"));
    NewType(QStringLiteral("Start speaking"), Qt::Key_F2, QStringLiteral("Speech"), 0,
            QStringLiteral("Person=Ann"), true);
    NewType(QStringLiteral("Stop speaking"), Qt::Key_F3, QStringLiteral("Speech"), -80,
            QStringLiteral("Person=Ann"), false);
    NewType(QStringLiteral("Point"), Qt::Key_F4, QStringLiteral("Gesture"), 0,
            QStringLiteral("Hand=left\nTarget=door"), false);
    ASSERT_EQ(m_form->Project().Groups.Count(), 2);
    ASSERT_EQ(m_form->Project().EventTypes.Count(), 3);
    ASSERT_EQ(m_form->EventCommands().ButtonCount, 3);

    ASSERT_TRUE(m_form->AddMedium(WriteSequence("front", 100)));
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("side", 100)));
    m_form->VideoList().Window(1).Offset = 400;
    m_form->Action(Id::ActionEventsInserting)->setChecked(true);
    m_form->activateWindow();
    m_form->Action(Id::ActionPlay)->trigger();
    QCoreApplication::processEvents();

    PlayTo(400);
    Press(Qt::Key_F2); // Start speaking at 400
    PlayTo(800);
    Press(Qt::Key_F4); // Point at 800
    PlayTo(1200);
    Press(Qt::Key_F2); // the same start again: replaces the first, keeps its text
    PlayTo(2000);
    Press(Qt::Key_F3); // Stop speaking, 80 ms before the key
    Press(Qt::Key_F9); // bound to nothing: records nothing
    m_form->Action(Id::ActionStop)->trigger();
    ASSERT_TRUE(m_answers.Messages.isEmpty()) << m_answers.Messages.join(u'\n').toStdString();

    const TParameters annList{{QStringLiteral("Person"), QStringLiteral("Ann")}};
    const TParameters pointList{{QStringLiteral("Hand"), QStringLiteral("left")},
                                {QStringLiteral("Target"), QStringLiteral("door")}};
    const QString ann = annList.ParametersToText();
    const QString point = pointList.ParametersToText();
    const std::vector<TRecorded> recorded{{QStringLiteral("Point"), 800, QString(), point},
                                          {QStringLiteral("Start speaking"), 1200, QString(), ann},
                                          {QStringLiteral("Stop speaking"), 1920, QString(), ann}};
    ASSERT_EQ(Events(), recorded);

    const QString path = QString::fromStdString(m_dir.File("session.xml"));
    m_answers.Document = path;
    m_form->Action(Id::ActionSaveAs)->trigger();
    m_form->Action(Id::ActionClose)->trigger();
    ASSERT_EQ(m_form->Project().Events().Count(), 0u);
    ASSERT_EQ(m_form->VideoList().Count(), 0);

    m_form->Action(Id::ActionOpen)->trigger();
    ASSERT_TRUE(m_answers.Messages.isEmpty()) << m_answers.Messages.join(u'\n').toStdString();
    EXPECT_EQ(Events(), recorded);
    ASSERT_EQ(m_form->VideoList().Count(), 2);
    EXPECT_EQ(m_form->VideoList().Window(1).Offset, 400);
    EXPECT_EQ(m_form->Project().Groups[1].Meaning, "Simple events");
    EXPECT_EQ(m_form->Project().EventTypes[1].Offset, -80);
    EXPECT_EQ(m_form->Project().EventTypes[2].Key, TextToKey(QStringLiteral("F4")));
    // The reopened types record again, through their rebuilt keys.
    EXPECT_EQ(m_form->EventCommands().ButtonCount, 3);
}

// While stopped, an event recorded at the current time appears at the
// bottom of a list that showed the newest rows; a list scrolled back stays.
TEST_F(RecordingEndToEnd, ARecordedEventShowsAtOnceInAListShowingTheNewestRows) {
    const int32_t type = m_form->Project().AddEventType(TEventType(QStringLiteral("Nod")));
    m_form->Project().EditEventType(type, [&](TEventType& edited) { edited.Key = TextToKey(QStringLiteral("F2")); });
    m_form->RefreshTypeList();
    for (int32_t time = 0; time < 100; ++time)
        m_form->Project().InsertEvent(std::make_unique<TEvent>(type, time * 10, QString(), TParameters{}));
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("cam", 50)));
    m_form->Action(Id::ActionEventsInserting)->setChecked(true);
    m_form->activateWindow();
    m_form->TrackBar->setValue(1200);
    const QTableWidget& grid = *m_form->StringGridMessages;
    const auto bottomText = [&grid] {
        for (int row = grid.rowCount() - 1; row >= 0; --row)
            if (const QTableWidgetItem* item = grid.item(row, 2);
                item && !grid.item(row, 0)->text().isEmpty())
                return grid.item(row, 0)->text() + u' ' + item->text();
        return QString();
    };

    m_form->EditEventText->clearFocus();
    Press(Qt::Key_F2);
    ASSERT_EQ(m_form->Project().Events().Count(), 101u);
    const TEvent* newest = m_form->Project().Events()[100];
    m_form->Project().ChangeEvent(newest, newest->EventType, QStringLiteral("new"), newest->Parameters);
    // The refresh every editing command runs after a change.
    m_form->RefreshEventList(false, false);
    EXPECT_EQ(bottomText(), "1200 new");

    m_form->ScrollBarMessages->setValue(0);
    const QString shown = bottomText();
    Press(Qt::Key_F2);
    EXPECT_EQ(m_form->Project().Events().Count(), 102u);
    EXPECT_EQ(bottomText(), shown);
}
