// Undo and Redo of the Media menu's commands and of mouse drags in a video
// window, through the real main window: menus, dialogs, keys and mouse
// events.

#include "document/ui/form_main.h"

#include "playback/playback_clock.h"
#include "playback/ui/form_camera.h"
#include "playback/ui/form_offset.h"
#include "playback/ui/form_video_list.h"
#include "tests/document_ui/form_main_fixture.h"
#include "tests/document_ui/when_modal.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/media_clips.h"
#include "tests/support/menu_driver.h"
#include "views/form_video.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

using Id = TAppCommandId;

class FormMainHistory : public FormMainFixture {
protected:
    QString Sequence(const std::string& name, int32_t frames = 50) {
        return QString::fromStdString(WriteBMPSequence(m_dir.File(name), frames));
    }
    QString NtscClip() {
        TClipSpec spec;
        spec.format = "avi";
        spec.extension = "avi";
        spec.videoCodec = "mpeg4";
        spec.width = 64;
        spec.height = 48;
        spec.rate = 30000;
        spec.scale = 1001;
        spec.frameCount = 30;
        spec.maxBFrames = 0;
        const std::string path = m_dir.File("ntsc.avi");
        WriteClip(path, spec);
        return QString::fromStdString(path);
    }
    // Through the real menu bar: Media, then the submenu's item (or, without
    // a submenu, the Media menu's own item).
    void ChooseMedia(QMenu* submenu, int index) {
        QMenu* media = m_form->MenuMedia;
        ASSERT_TRUE(OpenFromMenuBar(m_form->menuBar(), media));
        if (submenu) {
            ASSERT_TRUE(OpenSubmenu(media, submenu));
        }
        ASSERT_TRUE(ClickItem(submenu ? submenu : media, index));
        CloseMenus();
    }
    void AddByMenu(const QStringList& files) {
        m_answers.MediaFiles = files;
        ChooseMedia(nullptr, static_cast<int>(m_form->MenuMedia->actions().indexOf(m_form->Add1)));
    }
    // The keys the Events menu shows for Undo and Redo.
    void Undo() { QTest::keyClick(m_form->windowHandle(), Qt::Key_Z, Qt::ControlModifier); }
    void Redo() {
        QTest::keyClick(m_form->windowHandle(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    }

    // The media set (order, path, camera, offset, shown), the slider's range,
    // the time unit and every event.
    std::string Snapshot() const {
        std::string out;
        TFormVideoList& list = m_form->VideoList();
        for (int32_t i = 0; i < list.Count(); ++i) {
            const TFormVideo& window = list.Window(i);
            out += std::filesystem::path(window.FileName().toStdString()).filename().string() + "#" +
                   std::to_string(window.Camera) + "@" + std::to_string(window.Offset) +
                   (window.isVisible() ? "+" : "-") + ",";
        }
        out += "|" + std::to_string(m_form->TrackBar->maximum()) + "|";
        out += m_form->Project().TimeFormat == TTimeFormat::Frames ? "F" : "M";
        for (const auto& event : m_form->Project().Events())
            out += "," + std::to_string(event->EventType) + "/" + std::to_string(event->Time) + "/" +
                   event->Parameters.ParametersToText().toStdString();
        return out;
    }
};

class FormMainMediaHistory;

struct TMediaCase {
    const char* Name;
    std::function<void(FormMainMediaHistory&)> Setup; // not recorded
    std::function<void(FormMainMediaHistory&)> Command;
};

class FormMainMediaHistory : public FormMainHistory, public testing::WithParamInterface<TMediaCase> {
public:
    // For the table's lambdas.
    void Add(const QStringList& files) { AddByMenu(files); }
    QString Write(const std::string& name, int32_t frames) { return Sequence(name, frames); }
    QString Ntsc() { return NtscClip(); }
    void Choose(QMenu* submenu, int index) { ChooseMedia(submenu, index); }
    TFormMain& Form() { return *m_form; }
};

// Every command is one step: Undo gives back the media set (places,
// cameras, offsets), the slider and the time unit as they were, Redo the
// state after the command, and again.
TEST_P(FormMainMediaHistory, UndoRedoUndoMatchesTheSnapshots) {
    TFormVideoList& list = m_form->VideoList();
    ASSERT_TRUE(m_form->AddMedium(Sequence("a", 25)));
    ASSERT_TRUE(m_form->AddMedium(Sequence("b", 75)));
    list.Window(0).Camera = 2;
    list.Window(0).Offset = 100;
    const int32_t type = m_form->Project().AddEventType(TEventType(QStringLiteral("Walk")));
    m_form->Project().InsertEvent(std::make_unique<TEvent>(type, 10));
    if (GetParam().Setup)
        GetParam().Setup(*this);
    m_form->Project().ClearHistory();

    const std::string before = Snapshot();
    GetParam().Command(*this);
    const std::string after = Snapshot();
    ASSERT_NE(before, after) << "the command changed nothing";
    ASSERT_TRUE(m_form->Action(Id::ActionUndo)->isEnabled());
    Undo();
    EXPECT_EQ(Snapshot(), before);
    Redo();
    EXPECT_EQ(Snapshot(), after);
    Undo();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(m_form->Action(Id::ActionUndo)->isEnabled()) << "one command, one step";
    EXPECT_TRUE(m_answers.Messages.isEmpty()) << m_answers.Messages.join('\n').toStdString();
}

const TMediaCase MediaCases[] = {
    {"AddTwoFilesAtOnce", nullptr,
     [](FormMainMediaHistory& f) {
         f.Add({f.Write("c", 100), QStringLiteral("/no/such/file.avi"), f.Write("d", 10)});
     }},
    {"RemoveTheFirst", nullptr, [](FormMainMediaHistory& f) { f.Choose(f.Form().Remove1, 0); }},
    {"Camera", nullptr,
     [](FormMainMediaHistory& f) {
         WhenModal([](QWidget* dialog) {
             auto* camera = static_cast<TFormCamera*>(dialog);
             camera->CSpinEditCamera->setValue(5);
             QTest::keyClick(camera->CSpinEditCamera, Qt::Key_Return);
         });
         f.Choose(f.Form().Cameras1, 1);
     }},
    {"Offset", nullptr,
     [](FormMainMediaHistory& f) {
         WhenModal([](QWidget* dialog) {
             auto* offset = static_cast<TFormOffset*>(dialog);
             offset->EditOffset->setText("-250");
             QTest::keyClick(offset->EditOffset, Qt::Key_Return);
         });
         f.Choose(f.Form().Offset1, 0);
     }},
    // Frames are kept only while all media share a rate: taking the Add back
    // also gives the frame times back.
    {"AddOfAnotherRateInFrames", [](FormMainMediaHistory& f) { f.Form().MenuTimeFormatFrames->trigger(); },
     [](FormMainMediaHistory& f) { f.Add({f.Ntsc()}); }},
};

INSTANTIATE_TEST_SUITE_P(EveryCommand, FormMainMediaHistory, testing::ValuesIn(MediaCases),
                         [](const testing::TestParamInfo<TMediaCase>& info) { return info.param.Name; });

// A medium that is gone when Redo brings it back is reported once and left
// out; the changes made after it still reach their own media.
TEST_F(FormMainHistory, AMediumThatNoLongerOpensIsLeftOutAndLaterChangesKeepTheirMedia) {
    const QString gone = Sequence("gone", 5);
    AddByMenu({gone});
    AddByMenu({Sequence("kept", 5)});
    WhenModal([](QWidget* dialog) {
        auto* camera = static_cast<TFormCamera*>(dialog);
        camera->CSpinEditCamera->setValue(3);
        QTest::keyClick(camera->CSpinEditCamera, Qt::Key_Return);
    });
    ChooseMedia(m_form->Cameras1, 1);
    for (int i = 0; i < 3; ++i)
        Undo();
    ASSERT_EQ(m_form->VideoList().Count(), 0);
    for (int32_t frame = 0; frame < 5; ++frame)
        std::filesystem::remove(m_dir.File("gone000" + std::to_string(frame) + ".bmp"));

    Redo();
    EXPECT_EQ(m_form->VideoList().Count(), 0);
    EXPECT_EQ(m_answers.Messages, QStringList{"Could not open media file \"" + gone + "\"!"});
    Redo();
    Redo();
    ASSERT_EQ(m_form->VideoList().Count(), 1);
    EXPECT_EQ(m_form->VideoList().Window(0).Camera, 3);
    for (int i = 0; i < 3; ++i)
        Undo();
    EXPECT_EQ(m_form->VideoList().Count(), 0);
    EXPECT_FALSE(m_form->Action(Id::ActionUndo)->isEnabled());
    EXPECT_EQ(m_answers.Messages.size(), 1);
}

// --- Mouse drags --------------------------------------------------------

class FormMainDrag : public FormMainHistory {
protected:
    void SetUp() override {
        FormMainHistory::SetUp();
        ASSERT_TRUE(m_form->AddMedium(Sequence("cam", 75)));
        m_form->VideoList().Window(0).Camera = 1;
        m_type = m_form->Project().AddEventType(TEventType(QStringLiteral("Face")));
        m_form->RefreshTypeList();
        m_form->Action(Id::ActionEventsInserting)->setChecked(true);
        QCoreApplication::processEvents();
    }
    QWidget* Picture() const { return m_form->VideoList().Window(0).ImageVideo; }
    // The middle of video pixel (x, y) of the 16 x 16 sequence.
    QPoint At(int x, int y) const {
        const QSize area = Picture()->size();
        return {(2 * x + 1) * area.width() / 32, (2 * y + 1) * area.height() / 32};
    }
    // Mouse events as the window system sends them, with the buttons held.
    void Send(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, QPoint at) {
        QMouseEvent event(type, at, Picture()->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(Picture(), &event);
    }
    void Press(Qt::MouseButton button, QPoint at) { Send(QEvent::MouseButtonPress, button, button, at); }
    void MoveHeld(Qt::MouseButton button, QPoint at) { Send(QEvent::MouseMove, Qt::NoButton, button, at); }
    void Release(Qt::MouseButton button, QPoint at) { Send(QEvent::MouseButtonRelease, button, {}, at); }

    // One drag makes one step; Undo is greyed while the button is held.
    void ExpectOneStep(const std::function<void()>& drag) {
        m_form->Project().ClearHistory();
        const std::string before = Snapshot();
        drag();
        const std::string after = Snapshot();
        ASSERT_NE(before, after) << "the drag changed nothing";
        Undo();
        EXPECT_EQ(Snapshot(), before);
        EXPECT_FALSE(m_form->Action(Id::ActionUndo)->isEnabled()) << "the drag made more than one step";
        Redo();
        EXPECT_EQ(Snapshot(), after);
    }

    int32_t m_type = -1;
};

// Held across three positions, a mouse-mode drag records at each of them.
TEST_F(FormMainDrag, AMouseModeDragThroughSeveralPositionsIsOneStep) {
    m_form->MouseTemplate.EventType = m_type;
    m_form->Action(Id::ActionEventMouse)->setChecked(true);
    ExpectOneStep([this] {
        Press(Qt::LeftButton, At(4, 4));
        EXPECT_FALSE(m_form->Action(Id::ActionUndo)->isEnabled());
        MoveHeld(Qt::LeftButton, At(6, 6));
        m_form->Clock().GoToTime(400, true);
        MoveHeld(Qt::LeftButton, At(8, 8));
        m_form->Clock().GoToTime(800, true);
        Release(Qt::LeftButton, At(10, 10));
        EXPECT_EQ(m_form->Project().Events().Count(), 3u);
    });
}

// A rectangle carried with the right button rewrites its event at every
// move; taking it back puts it where it was before the press.
TEST_F(FormMainDrag, MovingARectangleWithTheRightButtonIsOneStep) {
    m_form->Project().InsertEvent(std::make_unique<TEvent>(
        m_type, 0, QString(),
        TParameters{{"Camera", "1"}, {"MinX", "2"}, {"MinY", "2"}, {"MaxX", "6"}, {"MaxY", "6"}}));
    m_form->CheckBoxEventsDraw->setChecked(true);
    m_form->Clock().GoToTime(0, true);
    QCoreApplication::processEvents();
    ASSERT_FALSE(m_form->VideoList().Window(0).Overlays().empty());
    const auto& event = *m_form->Project().Events()[0];
    ExpectOneStep([&] {
        Press(Qt::RightButton, At(6, 4));
        for (const QPoint at : {At(8, 6), At(10, 8), At(12, 9)})
            MoveHeld(Qt::RightButton, at);
        Release(Qt::RightButton, At(12, 9));
        EXPECT_NE(event.Parameters.ParametersToText().indexOf("MinX=10 MinY=7"), -1)
            << event.Parameters.ParametersToText().toStdString();
    });
}

} // namespace
